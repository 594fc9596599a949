#include "DevicePlugin.h"

DevicePlugin::~DevicePlugin() = default;
