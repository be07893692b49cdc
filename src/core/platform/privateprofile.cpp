#include "core/platform/privateprofile.h"

#include "core/platform/atomicfile.h"
#include "core/platform/errors.h"
#include "core/platform/paths.h"
#include "core/platform/regularfile.h"
#include "core/platform/textfile.h"

#include <QFile>
#include <QHash>
#include <memory>
#include <optional>
#include <vector>

namespace verola {

namespace {

// One physical line: its decoded text and the exact bytes that ended it,
// so that rewriting a key leaves every other line byte for byte as it was.
struct ProfileLine {
    QString text;
    QByteArray ending;
};

struct ProfileFile {
    std::vector<ProfileLine> lines;
    bool utf8 = false;
};

const QByteArray kUtf8Bom("\xEF\xBB\xBF");

// Line endings as they were read; shared, so that a long file of short lines holds one copy.
const QByteArray& lineEnding(bool crThenLf, bool cr)
{
    static const QByteArray crLf("\r\n");
    static const QByteArray crOnly("\r");
    static const QByteArray lfOnly("\n");
    return crThenLf ? crLf : (cr ? crOnly : lfOnly);
}

ProfileFile readProfile(const QString& path)
{
    ProfileFile profile;
    QFile file;
    try {
        openRegularFile(file, path); // a FIFO or a device is never opened
    } catch (const EInOutError&) {
        return profile;
    }
    QByteArray bytes = file.readAll();
    if (bytes.startsWith(kUtf8Bom)) {
        profile.utf8 = true;
        bytes.remove(0, kUtf8Bom.size());
    }
    // Decoded in one piece (a decoder per line cost more than the rest of the reading); line
    // breaks are the same characters in both encodings.
    const QString text = profile.utf8 ? QString::fromUtf8(bytes) : decodeCp1251(bytes);
    profile.lines.reserve(static_cast<size_t>(text.count(u'\n')) + 1);
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i <= n; ++i) {
        if (i < n && text[i] != u'\r' && text[i] != u'\n')
            continue;
        if (i == n && start == n)
            break;
        ProfileLine line;
        if (i > start)
            line.text = text.mid(start, i - start);
        if (i < n) {
            const bool cr = text[i] == u'\r';
            const bool pair = cr && i + 1 < n && text[i + 1] == u'\n';
            line.ending = lineEnding(pair, cr);
            if (pair)
                ++i;
        }
        profile.lines.push_back(std::move(line));
        start = i + 1;
    }
    return profile;
}

void writeProfile(const QString& path, const ProfileFile& profile)
{
    QString text;
    for (const ProfileLine& line : profile.lines) {
        text += line.text;
        text += QLatin1String(line.ending);
    }
    QByteArray bytes;
    if (profile.utf8)
        bytes += kUtf8Bom;
    bytes += profile.utf8 ? text.toUtf8() : encodeCp1251(text);
    writeFileAtomically(path, bytes);
}

std::optional<QString> sectionName(const QString& line)
{
    const QString t = line.trimmed();
    if (!t.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = t.indexOf(u']');
    if (close < 0)
        return std::nullopt;
    return t.mid(1, close - 1).trimmed();
}

bool isComment(const QString& line)
{
    const QString t = line.trimmed();
    return t.startsWith(u';');
}

// Key and value of a "key=value" line; nullopt for anything else.
std::optional<std::pair<QString, QString>> keyValue(const QString& line)
{
    if (isComment(line))
        return std::nullopt;
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return std::nullopt;
    QString value = line.mid(eq + 1).trimmed();
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return std::make_pair(line.left(eq).trimmed(), value);
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Line range [first, last) of the first section of that name; first is the header line.
std::optional<std::pair<size_t, size_t>> findSection(const ProfileFile& profile, const QString& section)
{
    const auto& lines = profile.lines;
    for (size_t i = 0; i < lines.size(); ++i) {
        const auto name = sectionName(lines[i].text);
        if (!name || !sameName(*name, section))
            continue;
        size_t end = i + 1;
        while (end < lines.size() && !sectionName(lines[end].text))
            ++end;
        return std::make_pair(i, end);
    }
    return std::nullopt;
}

std::optional<size_t> findKey(const ProfileFile& profile, std::pair<size_t, size_t> range, const QString& key)
{
    for (size_t i = range.first + 1; i < range.second; ++i) {
        const auto kv = keyValue(profile.lines[i].text);
        if (kv && sameName(kv->first, key))
            return i;
    }
    return std::nullopt;
}

QByteArray lineEndingFor(const ProfileFile& profile)
{
    for (const ProfileLine& line : profile.lines)
        if (!line.ending.isEmpty())
            return line.ending;
    return QByteArrayLiteral("\r\n");
}

void setValue(ProfileFile& profile, const QString& section, const QString& key, const QString& value)
{
    const QByteArray ending = lineEndingFor(profile);
    auto& lines = profile.lines;
    const ProfileLine newLine{key + u'=' + value, ending};
    const auto range = findSection(profile, section);
    if (!range) {
        if (!lines.empty() && lines.back().ending.isEmpty())
            lines.back().ending = ending;
        lines.push_back({u'[' + section + u']', ending});
        lines.push_back(newLine);
    } else if (const auto at = findKey(profile, *range, key)) {
        lines[*at].text = newLine.text;
    } else {
        size_t insertAt = range->second;
        while (insertAt > range->first + 1 && lines[insertAt - 1].text.trimmed().isEmpty())
            --insertAt;
        if (insertAt == lines.size() && !lines.empty() && lines.back().ending.isEmpty())
            lines.back().ending = ending;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), newLine);
    }
}

bool removeSection(ProfileFile& profile, const QString& section)
{
    bool changed = false;
    while (const auto range = findSection(profile, section)) {
        profile.lines.erase(profile.lines.begin() + static_cast<std::ptrdiff_t>(range->first),
                            profile.lines.begin() + static_cast<std::ptrdiff_t>(range->second));
        changed = true;
    }
    return changed;
}

std::optional<QString> lookUpIn(const ProfileFile& profile, const QString& section, const QString& key)
{
    const auto range = findSection(profile, section);
    if (!range)
        return std::nullopt;
    const auto line = findKey(profile, *range, key);
    if (!line)
        return std::nullopt;
    return keyValue(profile.lines[*line].text)->second;
}

// Where each key of a profile is read from: in the first section of each name, the first line of each
// key, by case-folded names. Reading a long list of keys one by one then costs no scan of the file per key.
using KeyLines = QHash<QString, QHash<QString, size_t>>;

KeyLines indexKeys(const ProfileFile& profile)
{
    KeyLines index;
    QString section;
    bool firstOfItsName = false;
    for (size_t i = 0; i < profile.lines.size(); ++i) {
        const QString& text = profile.lines[i].text;
        if (const auto name = sectionName(text)) {
            section = name->toCaseFolded();
            firstOfItsName = !index.contains(section);
            if (firstOfItsName)
                index.insert(section, {});
        } else if (firstOfItsName && !text.isEmpty()) {
            const auto kv = keyValue(text);
            if (!kv)
                continue;
            QHash<QString, size_t>& keys = index[section];
            const QString key = kv->first.toCaseFolded();
            if (!keys.contains(key))
                keys.insert(key, i);
        }
    }
    return index;
}

std::optional<QString> lookUp(const QString& path, const QString& section, const QString& key)
{
    return lookUpIn(readProfile(path), section, key);
}

int toInteger(const std::optional<QString>& text, int defaultValue)
{
    if (!text)
        return defaultValue;
    bool ok = false;
    const int value = text->toInt(&ok, 10);
    return ok ? value : defaultValue;
}

} // namespace

QString ProfileAccess::readString(const QString& section, const QString& key, const QString& defaultValue) const
{
    return find(section, key).value_or(defaultValue);
}

int ProfileAccess::readInteger(const QString& section, const QString& key, int defaultValue) const
{
    return toInteger(find(section, key), defaultValue);
}

bool ProfileAccess::readBool(const QString& section, const QString& key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool ProfileAccess::hasKey(const QString& section, const QString& key) const
{
    return find(section, key).has_value();
}

void ProfileAccess::writeString(const QString& section, const QString& key, const QString& value)
{
    store(section, key, value);
}

void ProfileAccess::writeInteger(const QString& section, const QString& key, int value)
{
    store(section, key, QString::number(value));
}

void ProfileAccess::writeBool(const QString& section, const QString& key, bool value)
{
    store(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

PrivateProfile::PrivateProfile(const QString& fileName)
    : m_fileName(fileName), m_path(resolveSystemFile(fileName))
{
}

std::optional<QString> PrivateProfile::find(const QString& section, const QString& key) const
{
    return lookUp(m_path, section, key);
}

void PrivateProfile::store(const QString& section, const QString& key, const QString& value)
{
    ProfileFile profile = readProfile(m_path);
    setValue(profile, section, key, value);
    writeProfile(m_path, profile);
}

void PrivateProfile::eraseSection(const QString& section)
{
    ProfileFile profile = readProfile(m_path);
    if (removeSection(profile, section))
        writeProfile(m_path, profile);
}

void PrivateProfile::deleteKey(const QString& section, const QString& key)
{
    ProfileFile profile = readProfile(m_path);
    const auto range = findSection(profile, section);
    if (!range)
        return;
    const auto at = findKey(profile, *range, key);
    if (!at)
        return;
    profile.lines.erase(profile.lines.begin() + static_cast<std::ptrdiff_t>(*at));
    writeProfile(m_path, profile);
}

QStringList PrivateProfile::sections() const
{
    QStringList names;
    for (const ProfileLine& line : readProfile(m_path).lines)
        if (const auto name = sectionName(line.text))
            names.append(*name);
    return names;
}

QStringList PrivateProfile::keys(const QString& section) const
{
    QStringList names;
    const ProfileFile profile = readProfile(m_path);
    const auto range = findSection(profile, section);
    if (!range)
        return names;
    for (size_t i = range->first + 1; i < range->second; ++i)
        if (const auto kv = keyValue(profile.lines[i].text))
            names.append(kv->first);
    return names;
}

struct PrivateProfileDocument::Content : ProfileFile {
    std::optional<KeyLines> index; // built on the first lookup after a change
};

PrivateProfileDocument::PrivateProfileDocument(const QString& fileName)
    : m_path(resolveSystemFile(fileName)), m_content(std::make_unique<Content>())
{
    static_cast<ProfileFile&>(*m_content) = readProfile(m_path);
}

PrivateProfileDocument::~PrivateProfileDocument() = default;

QStringList PrivateProfileDocument::sections() const
{
    QStringList names;
    for (const ProfileLine& line : m_content->lines)
        if (const auto name = sectionName(line.text))
            names.append(*name);
    return names;
}

std::optional<QString> PrivateProfileDocument::find(const QString& section, const QString& key) const
{
    if (!m_content->index)
        m_content->index = indexKeys(*m_content);
    const auto keys = m_content->index->constFind(section.toCaseFolded());
    if (keys == m_content->index->cend())
        return std::nullopt;
    const auto line = keys->constFind(key.toCaseFolded());
    if (line == keys->cend())
        return std::nullopt;
    return keyValue(m_content->lines[*line].text)->second;
}

void PrivateProfileDocument::store(const QString& section, const QString& key, const QString& value)
{
    setValue(*m_content, section, key, value);
    m_content->index.reset();
    m_changed = true;
}

void PrivateProfileDocument::eraseSection(const QString& section)
{
    if (removeSection(*m_content, section)) {
        m_content->index.reset();
        m_changed = true;
    }
}

void PrivateProfileDocument::save()
{
    if (!m_changed)
        return;
    writeProfile(m_path, *m_content);
    m_changed = false;
}

} // namespace verola
