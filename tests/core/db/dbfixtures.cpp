#include "dbfixtures.h"

#include <QDate>
#include <QFile>
#include <QStringEncoder>
extern "C" {
#include <paradox.h>
}
#include <shapefil.h>
#include <stdexcept>

namespace verola::test {

void writeDbf(const QString& path, const std::vector<FixtureField>& fields, const std::vector<QStringList>& rows,
    const char* codePage, const char* codec)
{
    DBFHandle handle = DBFCreateEx(QFile::encodeName(path).constData(), codePage);
    if (!handle)
        throw std::runtime_error("cannot create " + path.toStdString());
    for (const FixtureField& f : fields)
        DBFAddNativeFieldType(handle, f.name, f.type, f.width, f.decimals);
    QStringEncoder encoder(codec);
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        for (int c = 0; c < static_cast<int>(fields.size()); ++c) {
            const QString value = rows[r].value(c);
            const FixtureField& f = fields[c];
            if (value.isEmpty() || f.type == 'M') {
                DBFWriteNULLAttribute(handle, r, c);
            } else if (f.type == 'N' || f.type == 'F') {
                DBFWriteDoubleAttribute(handle, r, c, value.toDouble());
            } else if (f.type == 'L') {
                DBFWriteLogicalAttribute(handle, r, c, value.at(0).toLatin1());
            } else if (f.type == 'D') {
                QByteArray text = value.toLatin1();
                DBFWriteAttributeDirectly(handle, r, c, text.data());
            } else {
                const QByteArray bytes = encoder(value);
                DBFWriteStringAttribute(handle, r, c, bytes.constData());
            }
        }
    }
    DBFClose(handle);
}

void writeParadox(const QString& path, const std::vector<FixtureField>& fields, const std::vector<QStringList>& rows)
{
    pxdoc_t* doc = PX_new();
    std::vector<pxfield_t> defs(fields.size());
    std::vector<QByteArray> names;
    int recordSize = 0;
    for (size_t i = 0; i < fields.size(); ++i) {
        names.push_back(QByteArray(fields[i].name));
        defs[i].px_fname = names.back().data();
        switch (fields[i].type) {
        case 'A': defs[i].px_ftype = pxfAlpha; defs[i].px_flen = fields[i].width; break;
        case 'N': defs[i].px_ftype = pxfNumber; defs[i].px_flen = 8; break;
        case 'S': defs[i].px_ftype = pxfShort; defs[i].px_flen = 2; break;
        case 'I': defs[i].px_ftype = pxfLong; defs[i].px_flen = 4; break;
        case 'D': defs[i].px_ftype = pxfDate; defs[i].px_flen = 4; break;
        case 'L': defs[i].px_ftype = pxfLogical; defs[i].px_flen = 1; break;
        case 'B': defs[i].px_ftype = pxfBCD; defs[i].px_flen = 17; break;
        default: throw std::runtime_error("unknown fixture field type");
        }
        defs[i].px_fdc = fields[i].type == 'B' ? fields[i].decimals : 0;
        recordSize += defs[i].px_flen;
    }
    // pxlib takes ownership of the field array and frees it with the document.
    auto* owned = static_cast<pxfield_t*>(doc->malloc(doc, sizeof(pxfield_t) * defs.size(), "fixture"));
    for (size_t i = 0; i < defs.size(); ++i) {
        owned[i] = defs[i];
        owned[i].px_fname = static_cast<char*>(doc->malloc(doc, names[i].size() + 1, "fixture"));
        qstrcpy(owned[i].px_fname, names[i].constData());
    }
    if (PX_create_file(doc, owned, static_cast<int>(defs.size()), QFile::encodeName(path).constData(), pxfFileTypNonIndexDB) < 0)
        throw std::runtime_error("cannot create " + path.toStdString());
    doc->px_head->px_doscodepage = 1251;
    QStringEncoder encoder("windows-1251");
    std::vector<char> data(static_cast<size_t>(recordSize));
    for (const QStringList& row : rows) {
        std::fill(data.begin(), data.end(), 0);
        int offset = 0;
        for (size_t i = 0; i < fields.size(); ++i) {
            const QString value = row.value(static_cast<int>(i));
            char* at = data.data() + offset;
            offset += defs[i].px_flen;
            if (value.isEmpty())
                continue;
            switch (fields[i].type) {
            case 'A': {
                QByteArray bytes = encoder(value);
                bytes.resize(defs[i].px_flen, '\0');
                memcpy(at, bytes.constData(), static_cast<size_t>(defs[i].px_flen));
                break;
            }
            case 'N': PX_put_data_double(doc, at, 8, value.toDouble()); break;
            case 'S': PX_put_data_short(doc, at, 2, static_cast<short>(value.toInt())); break;
            case 'I': PX_put_data_long(doc, at, 4, value.toInt()); break;
            case 'D': {
                const QDate date = QDate::fromString(value, QStringLiteral("yyyy-MM-dd"));
                PX_put_data_long(doc, at, 4, static_cast<int>(date.toJulianDay() - QDate(1, 1, 1).toJulianDay() + 1));
                break;
            }
            case 'L': PX_put_data_byte(doc, at, 1, value.startsWith(u'T') ? 1 : 0); break;
            case 'B': {
                QByteArray text = value.toLatin1();
                PX_put_data_bcd(doc, at, defs[i].px_fdc, text.data());
                break;
            }
            }
        }
        PX_put_record(doc, data.data());
    }
    PX_close(doc);
    PX_delete(doc);
}

} // namespace verola::test
