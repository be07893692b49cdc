#include "core/db/ttable.h"

#include "core/db/dbfdriver.h"
#include "core/db/dberrors.h"
#include "core/db/tablefiles.h"
#include "core/platform/conversions.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace verola {

namespace {

QStringList splitFieldList(const QString& fields)
{
    static const QRegularExpression separators(QStringLiteral("[;+,]"));
    QStringList names;
    for (const QString& part : fields.split(separators))
        if (!part.trimmed().isEmpty())
            names.append(part.trimmed());
    return names;
}

} // namespace

TTable::TTable(TSession& session) : TDataSet(session) {}

TTable::~TTable() = default;

void TTable::requireInactive(const char* what) const
{
    if (Active())
        throw EDatabaseError(QStringLiteral("%1: действие невозможно, пока таблица открыта (%2)")
                                 .arg(QLatin1String(what), m_fileName));
}

void TTable::SetDatabaseName(const QString& name)
{
    requireInactive("DatabaseName");
    m_databaseName = name;
    m_indexName.clear(); // indexes belong to the table file
}

void TTable::SetTableName(const QString& name)
{
    requireInactive("TableName");
    m_tableName = name;
    m_indexName.clear();
}

QString TTable::resolvedFile() const
{
    return session().findTableFile(m_databaseName, m_tableName);
}

std::unique_ptr<RecordSource> TTable::openSource()
{
    m_fileName = resolvedFile();
    if (m_fileName.isEmpty()) {
        const QString folder = session().databaseFolder(m_databaseName);
        const QString named = folder.isEmpty() ? m_tableName : folder + u'/' + m_tableName;
        throw EDatabaseError(QStringLiteral("Таблица \"%1\" не найдена").arg(named));
    }
    return openTableFile(m_fileName, formatSettings());
}

void TTable::afterOpen()
{
    m_masterStamp = ~0ull;
    m_followedMaster = nullptr;
    buildIndexOrder();
}

void TTable::beforeClose()
{
    m_inserting = false;
    m_writable = false;
    m_indexOrder.clear();
    m_keys.clear();
    m_indexFields.clear();
}

// --- indexes ------------------------------------------------------------------

const TTable::IndexDef* TTable::findIndex(const QString& name) const
{
    const QString file = Active() ? m_fileName : resolvedFile();
    const auto it = m_indexes.constFind(QFileInfo(file).absoluteFilePath());
    if (it == m_indexes.constEnd())
        return nullptr;
    for (const IndexDef& def : *it)
        if (def.name.compare(name, Qt::CaseInsensitive) == 0)
            return &def;
    return nullptr;
}

QStringList TTable::IndexNames() const
{
    QStringList names;
    const auto it = m_indexes.constFind(QFileInfo(Active() ? m_fileName : resolvedFile()).absoluteFilePath());
    if (it != m_indexes.constEnd())
        for (const IndexDef& def : *it)
            names.append(def.name);
    return names;
}

QStringList TTable::IndexFieldNames() const
{
    const IndexDef* def = m_indexName.isEmpty() ? nullptr : findIndex(m_indexName);
    return def ? def->fields : QStringList();
}

void TTable::AddIndex(const QString& name, const QString& fields, TIndexOptions options)
{
    const QString file = Active() ? m_fileName : resolvedFile();
    if (file.isEmpty())
        throw EDatabaseError(QStringLiteral("Индекс %1: таблица \"%2\" не найдена").arg(name, m_tableName));
    IndexDef def;
    def.name = name;
    def.fields = splitFieldList(fields);
    def.options = options;
    if (name.isEmpty() || def.fields.isEmpty())
        throw EDatabaseError(QStringLiteral("Индексу \"%1\" таблицы \"%2\" нужны имя и поля").arg(name, file));
    if (Active())
        fieldNumbers(def.fields); // raises on an absent field
    QList<IndexDef>& list = m_indexes[QFileInfo(file).absoluteFilePath()];
    list.removeIf([&name](const IndexDef& d) { return d.name.compare(name, Qt::CaseInsensitive) == 0; });
    list.append(def);
}

void TTable::SetIndexName(const QString& name)
{
    if (name.isEmpty()) {
        m_indexName.clear();
    } else {
        const QString file = Active() ? m_fileName : resolvedFile();
        if (!findIndex(name))
            throw EDatabaseError(QStringLiteral("Индекса \"%1\" нет у таблицы \"%2\"")
                                     .arg(name, file.isEmpty() ? m_tableName : file));
        m_indexName = name;
    }
    if (Active()) {
        buildIndexOrder();
        m_masterStamp = ~0ull;
        First();
    }
}

std::vector<int> TTable::fieldNumbers(const QStringList& names) const
{
    std::vector<int> numbers;
    for (const QString& name : names) {
        const int index = fieldDefsOfOpenData().IndexOf(name);
        if (index < 0)
            throw EDatabaseError(QStringLiteral("Поле \"%1\" не найдено в %2").arg(name, m_fileName));
        numbers.push_back(index);
    }
    return numbers;
}

bool TTable::numericKeyField(int part) const
{
    const TFieldType type = fieldDefsOfOpenData()[m_indexFields[static_cast<size_t>(part)]].DataType;
    return isNumericField(type) || type == TFieldType::ftDate || type == TFieldType::ftBoolean;
}

TTable::KeyPart TTable::keyPartOf(int part, const QString& text) const
{
    KeyPart key;
    if (text.isEmpty())
        return key;
    key.null = false;
    if (!numericKeyField(part)) {
        key.text = text;
        return key;
    }
    const TFieldType type = fieldDefsOfOpenData()[m_indexFields[static_cast<size_t>(part)]].DataType;
    double value = 0;
    if (type == TFieldType::ftDate ? tryStrToDateTime(text.trimmed(), formatSettings(), value)
                                   : tryStrToFloat(text.trimmed(), formatSettings(), value)) {
        key.number = value;
    } else {
        bool ok = false;
        key.number = text.trimmed().toDouble(&ok);
        if (!ok)
            key.number = std::numeric_limits<double>::quiet_NaN(); // matches nothing
    }
    return key;
}

int TTable::compareParts(const KeyPart& a, const KeyPart& b) const
{
    if (a.null || b.null)
        return a.null == b.null ? 0 : a.null ? -1 : 1;
    if (!a.text.isNull() || !b.text.isNull())
        return a.text.compare(b.text, m_caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive);
    if (std::isnan(a.number) || std::isnan(b.number))
        return std::isnan(a.number) ? 1 : -1;
    return a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
}

int TTable::compareRecordKey(int record, const std::vector<KeyPart>& key) const
{
    const size_t width = m_indexFields.size();
    for (size_t p = 0; p < key.size() && p < width; ++p) {
        const int c = compareParts(m_keys[static_cast<size_t>(record) * width + p], key[p]);
        if (c != 0)
            return c;
    }
    return 0;
}

std::pair<int, int> TTable::equalRange(const std::vector<int>& order, const std::vector<KeyPart>& key) const
{
    const auto lower = std::partition_point(order.begin(), order.end(),
        [&](int record) { return compareRecordKey(record, key) < 0; });
    const auto upper = std::partition_point(lower, order.end(),
        [&](int record) { return compareRecordKey(record, key) <= 0; });
    return {static_cast<int>(lower - order.begin()), static_cast<int>(upper - order.begin())};
}

void TTable::buildIndexOrder()
{
    m_indexOrder.clear();
    m_keys.clear();
    m_indexFields.clear();
    clearView();
    const IndexDef* def = m_indexName.isEmpty() ? nullptr : findIndex(m_indexName);
    if (!def)
        return;
    m_indexFields = fieldNumbers(def->fields);
    m_caseInsensitive = (def->options & static_cast<int>(TIndexOption::ixCaseInsensitive)) != 0;
    RecordSource* records = source();
    const int count = records->recordCount();
    const size_t width = m_indexFields.size();
    m_keys.resize(static_cast<size_t>(count) * width);
    for (int r = 0; r < count; ++r) {
        records->readRecord(r);
        for (size_t p = 0; p < width; ++p) {
            const int field = m_indexFields[p];
            KeyPart& key = m_keys[static_cast<size_t>(r) * width + p];
            key.null = records->isNull(field);
            if (key.null)
                continue;
            if (numericKeyField(static_cast<int>(p)))
                key.number = records->number(field);
            else
                key.text = records->displayText(field, formatSettings());
        }
    }
    m_indexOrder.resize(static_cast<size_t>(count));
    for (int r = 0; r < count; ++r)
        m_indexOrder[static_cast<size_t>(r)] = r;
    std::stable_sort(m_indexOrder.begin(), m_indexOrder.end(), [&](int a, int b) {
        for (size_t p = 0; p < width; ++p) {
            const int c = compareParts(m_keys[static_cast<size_t>(a) * width + p], m_keys[static_cast<size_t>(b) * width + p]);
            if (c != 0)
                return c < 0;
        }
        return false;
    });
    setView(m_indexOrder);
}

bool TTable::FindKey(const QStringList& keyValues)
{
    requireActive("FindKey");
    if (m_indexFields.empty())
        throw EDatabaseError(QStringLiteral("Поиск по ключу: для таблицы \"%1\" не выбран индекс").arg(m_fileName));
    refreshView();
    std::vector<KeyPart> key;
    for (int p = 0; p < keyValues.size() && p < static_cast<int>(m_indexFields.size()); ++p)
        key.push_back(keyPartOf(p, keyValues.at(p)));
    const auto [lower, upper] = equalRange(view(), key);
    if (lower >= upper)
        return false;
    moveTo(lower);
    return true;
}

// --- master link --------------------------------------------------------------

void TTable::SetMasterSource(TDataSource* source)
{
    m_masterSource = source;
    m_masterStamp = ~0ull;
    if (!source)
        m_masterFields.clear();
}

void TTable::SetMasterFields(const QString& fields)
{
    m_masterStamp = ~0ull;
    m_masterFields.clear();
    if (fields.trimmed().isEmpty()) {
        if (Active()) {
            clearView();
            if (!m_indexOrder.empty())
                setView(m_indexOrder);
        }
        return;
    }
    const QStringList names = splitFieldList(fields);
    const QStringList indexFields = IndexFieldNames();
    if (indexFields.isEmpty())
        throw EDatabaseError(QStringLiteral("Поля связи %1: для таблицы \"%2\" не выбран индекс")
                                 .arg(fields, m_fileName.isEmpty() ? m_tableName : m_fileName));
    if (names.size() > indexFields.size())
        throw EDatabaseError(QStringLiteral("Поля связи %1: их больше, чем полей в индексе таблицы \"%2\"")
                                 .arg(fields, m_fileName.isEmpty() ? m_tableName : m_fileName));
    TDataSet* master = m_masterSource ? m_masterSource->DataSet() : nullptr;
    if (master && master->Active())
        for (const QString& name : names)
            master->FieldByName(name); // raises on an absent field
    m_masterFields = fields;
}

void TTable::refreshView()
{
    TDataSet* master = m_masterSource ? m_masterSource->DataSet() : nullptr;
    if (!master || m_masterFields.isEmpty() || m_indexFields.empty() || !Active())
        return;
    if (master == m_followedMaster && master->scrollStamp() == m_masterStamp)
        return;
    m_followedMaster = master;
    m_masterStamp = master->scrollStamp();
    applyMasterLink();
}

void TTable::applyMasterLink()
{
    TDataSet* master = m_masterSource->DataSet();
    std::vector<int> records;
    if (master->Active() && !master->Eof()) {
        const QStringList names = splitFieldList(m_masterFields);
        std::vector<KeyPart> key;
        for (int p = 0; p < names.size(); ++p) {
            TField& field = master->FieldByName(names.at(p));
            KeyPart part;
            part.null = field.IsNull();
            if (!part.null) {
                const TFieldType type = field.DataType();
                const bool masterNumeric = isNumericField(type) || type == TFieldType::ftDate;
                if (numericKeyField(p))
                    part = masterNumeric ? KeyPart{false, field.AsFloat(), QString()} : keyPartOf(p, field.AsString());
                else
                    part.text = field.AsString();
            }
            key.push_back(part);
        }
        const auto [lower, upper] = equalRange(m_indexOrder, key);
        records.assign(m_indexOrder.begin() + lower, m_indexOrder.begin() + upper);
    }
    setView(std::move(records));
    moveTo(0);
}

// --- creating and inserting ---------------------------------------------------

void TTable::CreateTable()
{
    requireInactive("CreateTable");
    if (m_tableType != TTableType::ttDBase && m_tableType != TTableType::ttDefault)
        throw EDatabaseError(QStringLiteral("Создавать можно только таблицы dBase (%1)").arg(m_tableName));
    QString name = m_tableName;
    name.replace(u'\\', u'/');
    if (QFileInfo(name).suffix().isEmpty())
        name += QStringLiteral(".dbf");
    const QString folder = session().databaseFolder(m_databaseName);
    const QString path = QFileInfo(name).isAbsolute() || folder.isEmpty() ? name : folder + u'/' + name;
    DbfTable::create(path, m_fieldDefs);
    m_fileName = path;
}

void TTable::Insert()
{
    requireActive("Insert");
    if (!dynamic_cast<DbfTable*>(source()) || QFileInfo(m_fileName).suffix().toLower() == QStringLiteral("db")
        || QFileInfo(m_fileName).suffix().toLower() == QStringLiteral("txt"))
        throw EDatabaseError(QStringLiteral("Добавлять записи можно только в таблицы dBase (%1)").arg(m_fileName));
    if (!m_writable) {
        replaceSource(DbfTable::open(m_fileName, true));
        m_writable = true;
    }
    m_inserting = true;
    m_insertTexts = QStringList();
    for (int i = 0; i < FieldCount(); ++i)
        m_insertTexts.append(QString());
    m_insertSet.assign(static_cast<size_t>(FieldCount()), false);
}

void TTable::setInsertValue(int field, const QString& text)
{
    m_insertTexts[field] = text;
    m_insertSet[static_cast<size_t>(field)] = true;
}

void TTable::setInsertNumber(int field, double value)
{
    setInsertValue(field, floatToStr(value, formatSettings()));
}

void TTable::Post()
{
    if (!m_inserting)
        return;
    m_inserting = false;
    auto* table = static_cast<DbfTable*>(source());
    table->appendRecord(m_insertTexts, m_insertSet, formatSettings());
    buildIndexOrder();
    m_masterStamp = ~0ull;
    moveTo(RecordCount() - 1);
}

void TTable::Cancel()
{
    m_inserting = false;
}

} // namespace verola
