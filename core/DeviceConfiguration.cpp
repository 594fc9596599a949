#include "DeviceConfiguration.h"

DeviceConfiguration::~DeviceConfiguration() = default;

ConfigurationBlock &ConfigurationBlock::add(const QString &name, bool isSigned)
{
    fields.append({name, 1, isSigned});
    return *this;
}

ConfigurationBlock &ConfigurationBlock::addNumbered(const QString &pattern, int count,
                                                    bool isSigned)
{
    for (int n = 1; n <= count; ++n)
        add(pattern.arg(n), isSigned);
    return *this;
}

ConfigurationBlock &ConfigurationBlock::addText(const QString &name, int registers)
{
    fields.append({name, registers, false});
    return *this;
}

ConfigurationBlock &ConfigurationBlock::addSerial()
{
    return add(QStringLiteral("Node address"))
        .add(QStringLiteral("Baud rate index"))
        .add(QStringLiteral("Parity"));
}

int ConfigurationBlock::count() const
{
    int total = 0;
    for (const ConfigurationField &field : fields)
        total += field.count;
    return total;
}
