#include "DeviceConfiguration.h"

#include <QCoreApplication>
#include <QRegularExpression>

DeviceConfiguration::~DeviceConfiguration() = default;

QString ConfigurationField::label(const char *context) const
{
    static const QRegularExpression number(QStringLiteral("[0-9]+"));
    const QRegularExpressionMatch match = number.match(name);
    QString pattern = name;
    if (match.hasMatch())
        pattern.replace(match.capturedStart(), match.capturedLength(), QStringLiteral("%1"));
    const QByteArray source = pattern.toUtf8();
    QString translated = QCoreApplication::translate(context, source.constData());
    if (translated == pattern)
        translated = QCoreApplication::translate("ConfigurationBlock", source.constData());
    if (translated == pattern)
        return name;
    return match.hasMatch() ? translated.arg(match.captured()) : translated;
}

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
    return add(QT_TRANSLATE_NOOP("ConfigurationBlock", "Node address"))
        .add(QT_TRANSLATE_NOOP("ConfigurationBlock", "Baud rate index"))
        .add(QT_TRANSLATE_NOOP("ConfigurationBlock", "Parity"));
}

int ConfigurationBlock::count() const
{
    int total = 0;
    for (const ConfigurationField &field : fields)
        total += field.count;
    return total;
}
