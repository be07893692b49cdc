#pragma once

#include "core/coreexport.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace verola {

// Typed reading and writing of keys over a store that finds and sets text values.
class VEROLA_CORE_EXPORT ProfileAccess {
public:
    virtual ~ProfileAccess() = default;

    QString readString(const QString& section, const QString& key, const QString& defaultValue) const;
    // A value that is not a decimal whole number gives the default.
    int readInteger(const QString& section, const QString& key, int defaultValue) const;
    bool readBool(const QString& section, const QString& key, bool defaultValue) const;
    bool hasKey(const QString& section, const QString& key) const;

    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);

protected:
    virtual std::optional<QString> find(const QString& section, const QString& key) const = 0;
    virtual void store(const QString& section, const QString& key, const QString& value) = 0;
};

// A private-profile (INI) file with the semantics of the desktop it came from:
// section and key names compare ignoring letter case, a missing key gives the
// default, the file is opened and closed for every call, writing keeps every
// other line as it was, text is code page 1251. A bare file name resolves in
// the system directory.
class VEROLA_CORE_EXPORT PrivateProfile : public ProfileAccess {
public:
    explicit PrivateProfile(const QString& fileName);

    // The name the caller gave ("RuzUzo.ini"), and the path actually used.
    const QString& fileName() const { return m_fileName; }
    const QString& path() const { return m_path; }

    // Writing throws EInOutError when the file cannot be written.
    void eraseSection(const QString& section);
    void deleteKey(const QString& section, const QString& key);

    QStringList sections() const;
    QStringList keys(const QString& section) const;

protected:
    std::optional<QString> find(const QString& section, const QString& key) const override;
    void store(const QString& section, const QString& key, const QString& value) override;

private:
    QString m_fileName;
    QString m_path;
};

// The same file read in one open, for operations that read or write many keys at once.
// Reads and writes work on the copy in memory; save() writes it back in one step.
class VEROLA_CORE_EXPORT PrivateProfileDocument : public ProfileAccess {
public:
    explicit PrivateProfileDocument(const QString& fileName);
    ~PrivateProfileDocument();
    PrivateProfileDocument(const PrivateProfileDocument&) = delete;
    PrivateProfileDocument& operator=(const PrivateProfileDocument&) = delete;

    const QString& path() const { return m_path; }
    // The section names in the order of the file, repeated names included.
    QStringList sections() const;

    void eraseSection(const QString& section);
    // Writes the file when anything changed. Throws EInOutError.
    void save();

protected:
    std::optional<QString> find(const QString& section, const QString& key) const override;
    void store(const QString& section, const QString& key, const QString& value) override;

private:
    struct Content;
    QString m_path;
    std::unique_ptr<Content> m_content;
    bool m_changed = false;
};

} // namespace verola
