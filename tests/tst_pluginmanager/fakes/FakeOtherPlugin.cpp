#include "FakeOtherPlugin.h"

FakeOtherPlugin::FakeOtherPlugin(QObject *parent)
    : QObject(parent)
{
}
