#pragma once

#include "core/coreexport.h"
#include "core/db/dataset.h"
#include "core/db/fielddefs.h"
#include "core/db/session.h"

#include <QMap>
#include <QString>
#include <QStringList>

namespace verola {

enum class TTableType { ttDefault, ttParadox, ttDBase, ttASCII };

enum class TIndexOption { ixPrimary = 1, ixUnique = 2, ixCaseInsensitive = 4 };
using TIndexOptions = int;

// A table file of a database folder or alias: dBase (".dbf"), Paradox (".db")
// or delimited text (".txt", with an optional ".sch" schema beside it).
//
// Indexes are held in memory: AddIndex records the definition for the table's
// file for the lifetime of the table object, and the order is built when an
// index is selected. With an index selected the table shows its records in
// key order, FindKey searches the key, and a master link narrows the records
// to those whose index fields equal the master's MasterFields.
class VEROLA_CORE_EXPORT TTable : public TDataSet {
public:
    explicit TTable(TSession& session = TSession::Default());
    ~TTable() override;

    QString DatabaseName() const { return m_databaseName; }
    void SetDatabaseName(const QString& name);
    QString TableName() const { return m_tableName; }
    void SetTableName(const QString& name);
    TTableType TableType() const { return m_tableType; }
    void SetTableType(TTableType type) { m_tableType = type; }
    // The file the table opened (or will create), once known.
    QString fileName() const { return m_fileName; }

    // Indexes.
    QString IndexName() const { return m_indexName; }
    // Selects an index by name (ignoring letter case); an empty name shows the
    // records in file order. Raises EDatabaseError when there is no such index.
    // Changing DatabaseName or TableName clears the selection.
    void SetIndexName(const QString& name);
    // fields: one or several field names separated by ";" (or "+").
    void AddIndex(const QString& name, const QString& fields, TIndexOptions options = 0);
    QStringList IndexNames() const;
    QStringList IndexFieldNames() const;
    // Positions on the first record whose index fields equal the values; false when none.
    bool FindKey(const QStringList& keyValues);

    // Master link.
    TDataSource* MasterSource() const { return m_masterSource; }
    void SetMasterSource(TDataSource* source);
    QString MasterFields() const { return m_masterFields; }
    // ";"-separated fields of the master, matched in order against the index
    // fields. Raises EDatabaseError when the link cannot be made.
    void SetMasterFields(const QString& fields);

    // Creating a dBase table and adding records.
    TFieldDefs& FieldDefs() { return m_fieldDefs; }
    void CreateTable();
    void Insert();
    void Append() { Insert(); }
    void Post();
    void Cancel();

protected:
    std::unique_ptr<RecordSource> openSource() override;
    void afterOpen() override;
    void beforeClose() override;
    void refreshView() override;
    bool inserting() const override { return m_inserting; }
    void setInsertValue(int field, const QString& text) override;
    void setInsertNumber(int field, double value) override;

private:
    struct IndexDef {
        QString name;
        QStringList fields;
        TIndexOptions options = 0;
    };
    void requireInactive(const char* what) const;
    const IndexDef* findIndex(const QString& name) const;
    std::vector<int> fieldNumbers(const QStringList& names) const;
    void buildIndexOrder();
    void applyMasterLink();
    struct KeyPart {
        bool null = true;
        double number = 0;
        QString text;
    };
    bool numericKeyField(int part) const;
    KeyPart keyPartOf(int part, const QString& text) const;
    int compareParts(const KeyPart& a, const KeyPart& b) const;
    // Compares the key of a record with the first parts of a key.
    int compareRecordKey(int record, const std::vector<KeyPart>& key) const;
    std::pair<int, int> equalRange(const std::vector<int>& order, const std::vector<KeyPart>& key) const;
    QString resolvedFile() const;

    QString m_databaseName;
    QString m_tableName;
    QString m_fileName;
    TTableType m_tableType = TTableType::ttDefault;
    QString m_indexName;
    QMap<QString, QList<IndexDef>> m_indexes; // by file path
    std::vector<int> m_indexFields;
    std::vector<int> m_indexOrder;
    std::vector<KeyPart> m_keys; // record number * index field count + part
    bool m_caseInsensitive = false;
    TDataSource* m_masterSource = nullptr;
    QString m_masterFields;
    quint64 m_masterStamp = ~0ull;
    const TDataSet* m_followedMaster = nullptr;
    TFieldDefs m_fieldDefs;
    bool m_inserting = false;
    bool m_writable = false;
    QStringList m_insertTexts;
    std::vector<bool> m_insertSet;
};

} // namespace verola
