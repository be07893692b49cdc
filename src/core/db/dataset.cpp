#include "core/db/dataset.h"

#include "core/db/dberrors.h"
#include "core/platform/conversions.h"

#include <cmath>

namespace verola {

namespace {

const TFieldDefs& emptyDefs()
{
    static const TFieldDefs none;
    return none;
}

} // namespace

// --- TField -------------------------------------------------------------------

QString TField::FieldName() const
{
    return m_dataSet->fieldDefsOfOpenData()[m_index].Name;
}

TFieldType TField::DataType() const
{
    return m_dataSet->fieldDefsOfOpenData()[m_index].DataType;
}

bool TField::IsNull() const
{
    m_dataSet->requireRecord();
    return m_dataSet->source()->isNull(m_index);
}

QString TField::AsString() const
{
    m_dataSet->requireRecord();
    return m_dataSet->source()->displayText(m_index, m_dataSet->formatSettings());
}

double TField::AsFloat() const
{
    m_dataSet->requireRecord();
    const RecordSource* source = m_dataSet->source();
    switch (DataType()) {
    case TFieldType::ftString:
    case TFieldType::ftMemo:
        return strToFloat(source->text(m_index).trimmed(), m_dataSet->formatSettings());
    case TFieldType::ftBoolean:
        throw EConvertError(QStringLiteral("Поле \"%1\" не читается как число").arg(FieldName()));
    default:
        return source->isNull(m_index) ? 0.0 : source->number(m_index);
    }
}

int TField::AsInteger() const
{
    m_dataSet->requireRecord();
    const RecordSource* source = m_dataSet->source();
    switch (DataType()) {
    case TFieldType::ftString:
    case TFieldType::ftMemo:
        return strToInt(source->text(m_index).trimmed());
    case TFieldType::ftBoolean:
        return source->isNull(m_index) ? 0 : static_cast<int>(source->number(m_index));
    case TFieldType::ftDate:
        return source->isNull(m_index) ? 0 : static_cast<int>(std::trunc(source->number(m_index)));
    default: {
        if (source->isNull(m_index))
            return 0;
        const double value = std::round(source->number(m_index));
        if (!(value >= -2147483648.0 && value <= 2147483647.0))
            throw EConvertError(
                QStringLiteral("\"%1\" не является целым числом").arg(source->displayText(m_index, m_dataSet->formatSettings())));
        return static_cast<int>(value);
    }
    }
}

void TField::SetAsString(const QString& value)
{
    if (!m_dataSet->inserting())
        throw EDatabaseError(QStringLiteral("Набор данных не в режиме правки или вставки"));
    m_dataSet->setInsertValue(m_index, value);
}

void TField::SetAsFloat(double value)
{
    if (!m_dataSet->inserting())
        throw EDatabaseError(QStringLiteral("Набор данных не в режиме правки или вставки"));
    m_dataSet->setInsertNumber(m_index, value);
}

void TField::SetAsInteger(int value)
{
    SetAsFloat(value);
}

// --- TDataSet -----------------------------------------------------------------

TDataSet::TDataSet(TSession& session) : m_session(&session) {}

TDataSet::~TDataSet() = default;

const FormatSettings& TDataSet::formatSettings() const
{
    return m_session->formatSettings();
}

void TDataSet::Open()
{
    if (Active())
        return;
    m_source = openSource();
    ++m_openingStamp;
    m_view.clear();
    m_hasView = false;
    m_position = -1;
    ensureFields();
    try {
        afterOpen();
        First();
    } catch (...) {
        m_source.reset();
        ++m_openingStamp;
        throw;
    }
}

void TDataSet::Close()
{
    if (!Active())
        return;
    beforeClose();
    m_source.reset();
    m_view.clear();
    m_hasView = false;
    m_position = -1;
    ++m_scrollStamp;
    ++m_openingStamp;
}

void TDataSet::SetActive(bool active)
{
    if (active)
        Open();
    else
        Close();
}

void TDataSet::requireActive(const char* what) const
{
    if (!Active())
        throw EDatabaseError(QStringLiteral("%1: набор данных не открыт").arg(QLatin1String(what)));
}

void TDataSet::First()
{
    requireActive("First");
    refreshView();
    moveTo(0);
}

void TDataSet::Next()
{
    requireActive("Next");
    refreshView();
    if (m_position < viewCount())
        moveTo(m_position + 1);
}

bool TDataSet::Eof() const
{
    if (!Active())
        return true;
    const_cast<TDataSet*>(this)->refreshView();
    return m_position < 0 || m_position >= viewCount();
}

bool TDataSet::Bof() const
{
    return !Active() || m_position <= 0;
}

int TDataSet::RecordCount() const
{
    requireActive("RecordCount");
    const_cast<TDataSet*>(this)->refreshView();
    return viewCount();
}

int TDataSet::RecNo() const
{
    if (!Active() || m_position < 0 || m_position >= viewCount())
        return -1;
    return m_position;
}

int TDataSet::FieldCount() const
{
    return Active() ? m_source->fieldDefs().Count() : 0;
}

TField& TDataSet::Fields(int index)
{
    requireActive("Fields");
    if (index < 0 || index >= FieldCount())
        throw EDatabaseError(
            QStringLiteral("Нет поля с номером %1 в %2").arg(index).arg(m_source->origin()));
    return *m_fields[static_cast<size_t>(index)];
}

TField* TDataSet::FindField(const QString& name)
{
    if (!Active())
        return nullptr;
    const int index = m_source->fieldDefs().IndexOf(name);
    return index < 0 ? nullptr : m_fields[static_cast<size_t>(index)].get();
}

TField& TDataSet::FieldByName(const QString& name)
{
    requireActive("FieldByName");
    TField* field = FindField(name);
    if (!field)
        throw EDatabaseError(QStringLiteral("Поле \"%1\" не найдено в %2").arg(name, m_source->origin()));
    return *field;
}

QStringList TDataSet::FieldNames() const
{
    QStringList names;
    for (const TFieldDef& def : fieldDefsOfOpenData().list())
        names.append(def.Name);
    return names;
}

const TFieldDefs& TDataSet::fieldDefsOfOpenData() const
{
    return Active() ? m_source->fieldDefs() : emptyDefs();
}

void TDataSet::ensureFields()
{
    const int count = m_source->fieldDefs().Count();
    for (int i = static_cast<int>(m_fields.size()); i < count; ++i)
        m_fields.push_back(std::make_unique<TField>(*this, i));
}

void TDataSet::setView(std::vector<int> records)
{
    m_view = std::move(records);
    m_hasView = true;
}

void TDataSet::clearView()
{
    m_view.clear();
    m_hasView = false;
}

int TDataSet::viewCount() const
{
    if (!m_source)
        return 0;
    return m_hasView ? static_cast<int>(m_view.size()) : m_source->recordCount();
}

int TDataSet::recordAt(int position) const
{
    return m_hasView ? m_view[static_cast<size_t>(position)] : position;
}

void TDataSet::moveTo(int position)
{
    ++m_scrollStamp;
    const int count = viewCount();
    if (position >= count) {
        m_position = count;
        return;
    }
    m_position = position;
    m_source->readRecord(recordAt(position));
}

void TDataSet::requireRecord() const
{
    requireActive("Field read");
    const_cast<TDataSet*>(this)->refreshView();
    if (m_position < 0 || m_position >= viewCount())
        throw EDatabaseError(QStringLiteral("Нет текущей записи в %1").arg(m_source->origin()));
}

void TDataSet::replaceSource(std::unique_ptr<RecordSource> source)
{
    m_source = std::move(source);
    ++m_openingStamp;
    ensureFields();
}

void TDataSet::setInsertValue(int, const QString&)
{
    throw EDatabaseError(QStringLiteral("Набор данных не в режиме правки или вставки"));
}

void TDataSet::setInsertNumber(int, double)
{
    throw EDatabaseError(QStringLiteral("Набор данных не в режиме правки или вставки"));
}

} // namespace verola
