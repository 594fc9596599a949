#include "DevicePlugin.h"

#ifdef FAKE_SIGNATURE
// A device plug-in; each build target gives it its own signature and name.
class FakePlugin : public QObject, public DevicePlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID DevicePlugin_iid)
    Q_INTERFACES(DevicePlugin)

public:
    quint16 signature() const override { return FAKE_SIGNATURE; }
    QString deviceName() const override { return QStringLiteral(FAKE_NAME); }
    QString description() const override { return {}; }
    QWidget *createWidget(ModbusClient *, QWidget *) override { return nullptr; }
    void readFromDevice() override {}
    void writeToDevice() override {}
    quint16 saveRegisterAddress() const override { return 0; }
};
#else
// A well-formed Qt plug-in of another interface: it loads, but is no device plug-in.
class FakePlugin : public QObject
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "com.tavrolix.tests.OtherInterface/1.0")
};
#endif

#include "FakePlugin.moc"
