#include "core/db/recordsource.h"

#include "core/platform/conversions.h"

namespace verola {

QString RecordSource::displayText(int field, const FormatSettings& format) const
{
    if (isNull(field))
        return QString();
    switch (fieldDefs()[field].DataType) {
    case TFieldType::ftString:
    case TFieldType::ftMemo:
        return text(field);
    case TFieldType::ftDate:
        return dateToStr(number(field), format);
    case TFieldType::ftBoolean:
        return number(field) != 0 ? QStringLiteral("True") : QStringLiteral("False");
    default:
        return floatToStr(number(field), format);
    }
}

void RecordSource::utf8Text(int field, std::string& out) const
{
    const QByteArray bytes = text(field).toUtf8();
    out.assign(bytes.constData(), static_cast<size_t>(bytes.size()));
}

} // namespace verola
