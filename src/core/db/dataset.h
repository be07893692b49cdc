#pragma once

#include "core/coreexport.h"
#include "core/db/fielddefs.h"
#include "core/db/recordsource.h"
#include "core/db/session.h"
#include "core/platform/formatsettings.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace verola {

class TDataSet;
class TDataSource;
class TSession;

// One field of a dataset's current record. Reads raise EDatabaseError when the
// dataset is closed or has no current record, EConvertError when the value
// does not convert.
class VEROLA_CORE_EXPORT TField {
public:
    TField(TDataSet& dataSet, int index) : m_dataSet(&dataSet), m_index(index) {}

    QString FieldName() const;
    TFieldType DataType() const;
    int Index() const { return m_index; }
    bool IsNull() const;

    QString AsString() const;
    double AsFloat() const;
    int AsInteger() const;

    // Setting values is possible while the dataset is inserting a record.
    void SetAsString(const QString& value);
    void SetAsFloat(double value);
    void SetAsInteger(int value);

private:
    TDataSet* m_dataSet;
    int m_index;
};

// Common part of tables and queries: opening, navigation and field reads.
class VEROLA_CORE_EXPORT TDataSet {
public:
    explicit TDataSet(TSession& session);
    virtual ~TDataSet();
    TDataSet(const TDataSet&) = delete;
    TDataSet& operator=(const TDataSet&) = delete;

    TSession& session() const { return *m_session; }
    const FormatSettings& formatSettings() const;

    void Open();
    void Close();
    bool Active() const { return m_source != nullptr; }
    void SetActive(bool active);

    void First();
    void Next();
    bool Eof() const;
    bool Bof() const;
    int RecordCount() const;
    // 0-based position of the current record in the dataset's order, -1 when none.
    int RecNo() const;

    int FieldCount() const;
    TField& Fields(int index);
    TField& FieldByName(const QString& name); // raises when absent
    TField* FindField(const QString& name);   // nullptr when absent
    QStringList FieldNames() const;
    const TFieldDefs& fieldDefsOfOpenData() const;

    // Counts every move of the current record; linked detail tables compare it.
    quint64 scrollStamp() const { return m_scrollStamp; }
    // Counts every opening and closing: a field found by name stays the same while it does not change.
    quint64 openingStamp() const { return m_openingStamp; }

protected:
    // Opens the data; the dataset shows every record of it in order until the
    // view is narrowed or reordered with setView.
    virtual std::unique_ptr<RecordSource> openSource() = 0;
    virtual void afterOpen() {}
    virtual void beforeClose() {}
    // Called before any navigation or read, so that a linked table can follow its master.
    virtual void refreshView() {}

    RecordSource* source() const { return m_source.get(); }
    // The records the dataset shows, by record number; empty optional = all, in order.
    void setView(std::vector<int> records);
    void clearView();
    bool hasView() const { return m_hasView; }
    const std::vector<int>& view() const { return m_view; }
    int viewCount() const;
    int recordAt(int position) const;
    // Moves to a position of the view and makes the record current.
    void moveTo(int position);
    void requireActive(const char* what) const;
    // Puts another source of the same records in place (a table reopened for writing).
    void replaceSource(std::unique_ptr<RecordSource> source);

    // Insert mode, used by TTable.
    virtual bool inserting() const { return false; }
    virtual void setInsertValue(int field, const QString& text);
    virtual void setInsertNumber(int field, double value);

private:
    friend class TField;
    void ensureFields();
    void requireRecord() const;

    TSession* m_session;
    std::unique_ptr<RecordSource> m_source;
    std::vector<std::unique_ptr<TField>> m_fields;
    std::vector<int> m_view;
    bool m_hasView = false;
    int m_position = -1;
    quint64 m_scrollStamp = 0;
    quint64 m_openingStamp = 0;
};

// Links a dataset to others: a detail table follows its master through it.
class VEROLA_CORE_EXPORT TDataSource {
public:
    TDataSource() = default;
    explicit TDataSource(TDataSet* dataSet) : m_dataSet(dataSet) {}
    TDataSet* DataSet() const { return m_dataSet; }
    void SetDataSet(TDataSet* dataSet) { m_dataSet = dataSet; }

private:
    TDataSet* m_dataSet = nullptr;
};

} // namespace verola
