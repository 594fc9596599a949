#pragma once

#include <QObject>

// A well-formed Qt plug-in of another kind: it loads, but is no device plug-in.
class FakeOtherPlugin : public QObject
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "com.tavrolix.tests.OtherInterface/1.0")

public:
    explicit FakeOtherPlugin(QObject *parent = nullptr);
};
