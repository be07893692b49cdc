#include "core/db/selection.h"

#include "core/db/codepositions.h"
#include "core/db/description.h"
#include "core/db/filecache.h"
#include "core/db/querybuilder.h"
#include "core/db/recordreader.h"
#include "core/db/session.h"
#include "core/platform/feedback.h"
#include "core/platform/privateprofile.h"
#include "core/tables/lineutils.h"
#include "core/tables/ttab.h"

#include <algorithm>

namespace verola {

namespace {

const QString kSelectionCaption = QStringLiteral("Выборка из базы данных");

// Ends a run at once; the run's end step still frees everything.
struct SelectionStop {
    SelectionOutcome outcome;
};

// Is there a ":Name" parameter in the lines whose name belongs to the coordinate?
bool hasParameterFor(const QStringList& sqlLines, const QString& coordinate)
{
    for (const QString& line : sqlLines) {
        for (qsizetype colon = line.indexOf(u':'); colon >= 0; colon = line.indexOf(u':', colon + 1)) {
            qsizetype end = colon + 1;
            while (end < line.size() && line.at(end) != u' ' && line.at(end) != u'+')
                ++end;
            if (MapFieldToCoord(line.mid(colon + 1, end - colon - 1)).compare(coordinate, Qt::CaseInsensitive) == 0)
                return true;
        }
    }
    return false;
}

bool hasTitleEntryFor(const QStringList& items, const QString& coordinate)
{
    for (const QString& item : items) {
        const ItemEntry entry = SplitItemEntry(item);
        if (entry.role == QStringLiteral("Title") && MapFieldToCoord(entry.coordinate) == coordinate)
            return true;
    }
    return false;
}

// A position of a level's axis as its tree node.
struct TPositionNode {
    int line = -1;
    bool leaf = false;
    QString codes;    // the codes part of the node
    QString lastCode; // the level's current code at this position
};

void resetItems(TTempList& list)
{
    for (TOneTempItem& item : list)
        item = TOneTempItem{};
}

class TSelectionDriver {
public:
    explicit TSelectionDriver(const SelectionRequest& request);
    ~TSelectionDriver();
    TSelectionDriver(const TSelectionDriver&) = delete;
    TSelectionDriver& operator=(const TSelectionDriver&) = delete;

    SelectionOutcome run();
    int total() const { return m_total; }
    int accepted() const { return m_acceptedBeforeModel + m_total; }
    void reportLeftOut();

private:
    bool regionStep(int p0);
    void loadModel(const QString& model);
    void buildLevelLists();
    void buildTimeLists();
    void buildSexAgeLists();
    int captionAxis(const QString& caption) const;
    void takeLevelAxes();

    bool walkLevel0();
    void walkLevel1();
    void walkLevel2();
    void walkLevel3();
    enum class Walk { Next, Leave };
    Walk walkPosition3(int pos3);
    void walkPositionsAfter(int pos3, int count);
    void findPlainCodeTest();
    // Makes a leaf position current: codes, current code and FSlice. False for a group node.
    bool enterPosition(int level, int position);
    void buildNodes(int level);
    void noteHoroscopeNodes();
    int positionCount(int level) const;
    int nodeLine(int level, int position) const;
    double weightOf(int level) const;
    void prepare(int level);

    bool isDatabaseLevel(int level) const { return m_sources.queryLevel == level || m_sources.tableLevel == level; }
    template <typename Action>
    void forDatabaseLevel(int level, Action action);
    void accumulatorsAt(int level);
    void flushLevel(int level, int position);
    void resetLevel(int level);
    void finishLevel(int level);
    void flushInnerPositions(int level, int firstLevel);
    void setPosition(int level, int position);
    bool stopped(int upTo) const;
    void checkContinue();
    void afterLevel1Position(int position);
    void countForReview(int count);
    void endOfRun() noexcept;

    const SelectionRequest& m_request;
    // Read once for the run: every region position looks its model up in it.
    const PrivateProfileDocument m_description{kDescriptionFile};
    Feedback& m_feedback;
    TSession& m_session;
    TTab& m_primary;
    QStringList m_captions;
    TSelectionSources m_sources;
    TRecordReader m_reader;
    std::array<QStringList, kLevelCount> m_trees;
    std::array<std::vector<TPositionNode>, kLevelCount> m_nodes;
    std::array<bool, kLevelCount> m_templated{};
    std::array<double, kLevelCount> m_weights{1, 1, 1, 1};
    // The innermost level's positions by code, when the query tests them by a plain code.
    TCodePositions m_codePositions;
    std::vector<int> m_positionsToTest;
    QString m_previousModel;
    int m_regionCount = 0;
    int m_progress = 0;
    int m_total = 0;
    int m_acceptedBeforeModel = 0; // by the models of the run before the current one
};

TSelectionDriver::TSelectionDriver(const SelectionRequest& request)
    : m_request(request),
      m_feedback(*request.feedback),
      m_session(request.session ? *request.session : TSession::Default()),
      m_primary(*request.primary),
      m_captions(coordinateCaptions()),
      m_sources(request.format, *request.feedback, m_session),
      m_reader(m_sources, *request.feedback, request.format, m_session)
{
    m_reader.primary = &m_primary;
    m_reader.dataDirectory = request.dataDirectory;
    m_sources.review = request.review;
    m_sources.showSql = request.showSql;
    m_sources.reviewCount = [this](int count) { countForReview(count); };
}

TSelectionDriver::~TSelectionDriver()
{
    endOfRun();
}

void TSelectionDriver::endOfRun() noexcept
{
    try {
        m_sources.table.Close();
        m_sources.table.SetMasterSource(nullptr);
        m_sources.query.Close();
    } catch (...) {
        // Closing what failed to open cannot fail in a way the user could act on.
    }
    for (QStringList& tree : m_trees)
        tree.clear();
    m_reader.innermostCodes = nullptr;
    for (auto& nodes : m_nodes)
        nodes.clear();
    m_reader.timeHash.reset();
    m_reader.sexAgeHash.reset();
    m_reader.dateList.reset();
    m_reader.groupList.reset();
    m_reader.queryAccumulators.list.reset();
    m_reader.tableAccumulators.list.reset();
    m_feedback.progressHide();
}

SelectionOutcome TSelectionDriver::run()
{
    m_sources.resetLevels();
    m_trees[0] = m_primary.FLists[1];
    buildNodes(0);
    noteHoroscopeNodes();
    m_regionCount = m_primary.FIndex[1].FGroups;
    if (m_regionCount > 0) {
        m_feedback.progressShow(kSelectionCaption, m_regionCount);
        m_feedback.progressPosition(0);
    }
    m_reader.coords = ReadCoordCount(m_description, m_request.panelKind);
    m_primary.FSlice.fill(0);
    if (m_regionCount == 0)
        return SelectionOutcome::Completed;
    m_feedback.setContinueFlag(true);
    for (int p0 = 0; p0 < m_regionCount; ++p0) {
        if (!regionStep(p0))
            continue;
        m_feedback.processEvents();
        checkContinue();
        if (m_regionCount > 1)
            m_feedback.progressPosition(++m_progress);
    }
    if (m_regionCount > 1)
        m_feedback.progressHide();
    return SelectionOutcome::Completed;
}

bool TSelectionDriver::regionStep(int p0)
{
    m_reader.positions[0] = p0;
    m_reader.stopFlags[0] = false;
    const TPositionNode& node = m_nodes[0][static_cast<size_t>(p0)];
    if (!node.leaf)
        return true;
    const QString& codes = node.codes;
    m_reader.innermostCodes = &codes;
    const QString rest = RestItems(codes);
    const QString modelCode = FirstItem(rest);
    const QString territory = LastItem(rest);
    m_sources.currentCodes[0] = territory;
    m_primary.FSlice[1] = p0;

    const QString model = FindModel(m_description, modelCode);
    if (model.isEmpty()) {
        if (m_feedback.question(QStringLiteral("Модель ") + modelCode + QStringLiteral(" не найдена. Остановить?")))
            throw SelectionStop{SelectionOutcome::StoppedAtModel};
        return false;
    }
    m_feedback.progressCaption(QStringLiteral("Выборка из базы данных для модели ") + model
                               + QStringLiteral(" для территории ") + territory);
    if (model.compare(m_previousModel, Qt::CaseInsensitive) != 0)
        loadModel(model);

    const int coords = m_reader.coords;
    const bool walkable = coords == 3 || coords == 4;
    const int count1 = walkable ? positionCount(1) : 0;
    const int count2 = walkable ? positionCount(2) : 0;
    if (m_regionCount == 1) {
        m_feedback.progressShow(kSelectionCaption, count1 * count2);
        m_progress = 0;
        m_feedback.progressPosition(0);
    }
    if (count1 > 0 && count2 > 0 && (coords == 3 || positionCount(3) > 0)) {
        if (!walkLevel0())
            return false;
    }
    if (m_regionCount == 1)
        m_feedback.progressHide();
    return true;
}

void TSelectionDriver::loadModel(const QString& model)
{
    m_sources.resetLevels();
    m_reader.queryAccumulators = TLevelAccumulators{};
    m_reader.tableAccumulators = TLevelAccumulators{};
    m_acceptedBeforeModel += m_total;
    m_total = 0;
    TPanelInfoStruct& description = m_sources.description;
    LoadPanelInfo(description, m_description, m_request.panelKind, model);
    m_reader.timeLevel = IndexOfCoord(description, kTime);
    m_reader.sexAgeLevel = IndexOfCoord(description, kSexAgeGroup);

    const int coords = std::min<int>(m_reader.coords, static_cast<int>(description.CoordItems.size()));
    m_sources.setLevelsFromDescription(coords);
    m_templated.fill(false);
    for (int i = 0; i < coords && i < kLevelCount; ++i) {
        m_templated[static_cast<size_t>(i)] = m_sources.UsesTemplatedTable(i);
        m_reader.entries[static_cast<size_t>(i)] = recordEntriesOf(description, description.CoordItems[static_cast<size_t>(i)].Items);
    }
    const TCoordItem* query = m_sources.coordinate(m_sources.queryLevel);
    const TCoordItem* table = m_sources.coordinate(m_sources.tableLevel);
    m_reader.queryCountMode = query && isCountMode(query->Items) && !m_sources.masterLink;
    m_reader.tableCountMode = table && isCountMode(table->Items);
    m_previousModel = model;
    m_sources.model = model;

    m_reader.queryFields = query ? databaseFieldsOf(query->Items) : TDatabaseFields{};
    m_reader.tableFields = table ? databaseFieldsOf(table->Items) : TDatabaseFields{};
    buildLevelLists();
    takeLevelAxes();
    findPlainCodeTest();
}

// The query's records usually meet the innermost level by one entry comparing a field with the
// position's code. When nothing else of that level's walk depends on the position, a record is
// tested only against the positions its code can match; the others would fail at that entry
// and leave nothing behind but the state the last of them is left in.
void TSelectionDriver::findPlainCodeTest()
{
    m_reader.plainCode = TRecordReader::PlainCodeProbe{};
    m_codePositions.clear();
    const TCoordItem* innermost = m_sources.coordinate(3);
    const int query = m_sources.queryLevel;
    if (m_reader.coords != 4 || !innermost || innermost->Type != kNoDatabase || !innermost->WeightTable.isEmpty()
        || query < 0 || query >= 3 || m_sources.tableLevel == 3 || m_reader.timeLevel == 3
        || m_reader.sexAgeLevel == 3 || m_reader.horoscopeInTrees)
        return;
    const std::vector<TRecordEntry>& entries = m_reader.entries[static_cast<size_t>(query)];
    const auto first = std::find_if(entries.begin(), entries.end(), [](const TRecordEntry& e) { return e.level == 3; });
    if (first == entries.end() || !first->isValue || first->isComplex)
        return;
    std::vector<TCodePositions::Position> positions;
    for (const TPositionNode& node : m_nodes[3])
        positions.push_back({node.leaf, node.lastCode});
    m_codePositions.build(positions, first->format);
    m_reader.plainCode.entry = static_cast<int>(first - entries.begin());
}

int TSelectionDriver::captionAxis(const QString& caption) const
{
    for (int i = 0; i < m_captions.size(); ++i)
        if (m_captions.at(i).compare(caption, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void TSelectionDriver::buildLevelLists()
{
    m_reader.timeHash.reset();
    m_reader.sexAgeHash.reset();
    m_reader.dateList.reset();
    m_reader.groupList.reset();
    buildTimeLists();
    buildSexAgeLists();
}

namespace {

// A hash list serves a level when a database level lies above it and does not give the
// level's values itself (a "Title" entry of the coordinate).
bool hashListServes(const TSelectionSources& sources, int level, const QString& coordinate)
{
    if (level < 0 || level >= kLevelCount)
        return false;
    for (const int database : {sources.queryLevel, sources.tableLevel}) {
        const TCoordItem* c = sources.coordinate(database);
        if (c && database < level && !hasTitleEntryFor(c->Items, coordinate))
            return true;
    }
    return false;
}

} // namespace

void TSelectionDriver::buildTimeLists()
{
    const TCoordItem* time = m_sources.coordinate(m_reader.timeLevel);
    if (!time)
        return;
    const int axis = captionAxis(time->AxisCaption);
    if (hashListServes(m_sources, m_reader.timeLevel, kTime)) {
        if (axis < 0) {
            m_feedback.message(QStringLiteral("Проверьте заголовок Time:") + time->AxisCaption);
            throw SelectionStop{SelectionOutcome::HeadingMissing};
        }
        const HashBounds bounds = hashBoundsOf(*time, kTimeHash, m_request.format);
        m_reader.timeHash = BuildHashList(kTimeHash, bounds.lower, bounds.upper);
        if (m_reader.timeHash)
            FillHashList(*m_reader.timeHash, axis, kTimeHash, m_primary, m_request.format);
        return;
    }
    const TCoordItem* query = m_sources.coordinate(m_sources.queryLevel);
    if (query && hasParameterFor(query->SqlItems, kTime))
        return;
    if (axis < 0) {
        m_feedback.message(QStringLiteral("Проверьте заголовок Time:") + time->AxisCaption);
        throw SelectionStop{SelectionOutcome::HeadingMissing};
    }
    m_reader.dateList = std::make_unique<TDateList>(BuildDateList(m_primary, axis, m_request.format));
}

void TSelectionDriver::buildSexAgeLists()
{
    const TCoordItem* sexAge = m_sources.coordinate(m_reader.sexAgeLevel);
    if (!sexAge)
        return;
    const int axis = captionAxis(sexAge->AxisCaption);
    if (axis < 0) {
        m_feedback.message(QStringLiteral("Проверьте заголовок SexAgeGroup:") + sexAge->AxisCaption);
        throw SelectionStop{SelectionOutcome::HeadingMissing};
    }
    if (hashListServes(m_sources, m_reader.sexAgeLevel, kSexAgeGroup)) {
        const HashBounds bounds = hashBoundsOf(*sexAge, kSexAgeHash, m_request.format);
        m_reader.sexAgeHash = BuildHashList(kSexAgeHash, bounds.lower, bounds.upper);
        if (m_reader.sexAgeHash)
            FillHashList(*m_reader.sexAgeHash, axis, kSexAgeHash, m_primary, m_request.format);
        return;
    }
    m_reader.groupList = std::make_unique<TGroupList>(BuildGroupList(m_primary, axis));
}

void TSelectionDriver::takeLevelAxes()
{
    const int coords = m_reader.coords;
    if (coords != 3 && coords != 4)
        return;
    for (int level = 1; level < coords; ++level) {
        const TCoordItem* c = m_sources.coordinate(level);
        const int axis = c ? captionAxis(c->AxisCaption) : -1;
        if (axis < 0) {
            m_feedback.message(QStringLiteral("Проверьте заголовок") + (c ? c->NameCoord + u':' + c->AxisCaption
                                                                          : QStringLiteral(":")));
            throw SelectionStop{SelectionOutcome::HeadingMissing};
        }
        m_reader.axes[static_cast<size_t>(level)] = axis;
        m_trees[static_cast<size_t>(level)] = m_primary.FLists[axis];
        buildNodes(level);
    }
    noteHoroscopeNodes();
}

void TSelectionDriver::buildNodes(int level)
{
    const QStringList& tree = m_trees[static_cast<size_t>(level)];
    const TIndex& index = m_primary.FIndex[static_cast<size_t>(m_reader.axes[static_cast<size_t>(level)])];
    std::vector<TPositionNode>& nodes = m_nodes[static_cast<size_t>(level)];
    nodes.assign(index.FGroups, TPositionNode{});
    for (size_t p = 0; p < nodes.size() && p < index.FPosLine.size(); ++p) {
        TPositionNode& node = nodes[p];
        const int line = index.FPosLine[p] - 1;
        if (line < 0 || line >= tree.size())
            continue;
        node.line = line;
        node.leaf = !nodeHasChildren(tree, line);
        node.codes = codesPart(tree.at(line));
        node.lastCode = LastItem(node.codes);
    }
}

void TSelectionDriver::noteHoroscopeNodes()
{
    bool marked = false;
    for (const auto& nodes : m_nodes)
        for (const TPositionNode& node : nodes)
            marked = marked || IsHoroscopeMarked(node.codes);
    m_reader.horoscopeInTrees = marked;
}

int TSelectionDriver::positionCount(int level) const
{
    return m_primary.FIndex[static_cast<size_t>(m_reader.axes[static_cast<size_t>(level)])].FGroups;
}

int TSelectionDriver::nodeLine(int level, int position) const
{
    const std::vector<TPositionNode>& nodes = m_nodes[static_cast<size_t>(level)];
    return position >= 0 && position < static_cast<int>(nodes.size()) ? nodes[static_cast<size_t>(position)].line : -1;
}

double TSelectionDriver::weightOf(int level) const
{
    const TCoordItem* c = m_sources.coordinate(level);
    if (!c || c->WeightTable.isEmpty())
        return 1;
    const int line = nodeLine(level, m_reader.positions[static_cast<size_t>(level)]);
    return WeightOf(m_session, m_trees[static_cast<size_t>(level)], line, c->WeightTable, m_request.format);
}

void TSelectionDriver::setPosition(int level, int position)
{
    m_reader.positions[static_cast<size_t>(level)] = position;
    m_primary.FSlice[static_cast<size_t>(m_reader.axes[static_cast<size_t>(level)])] = position;
}

bool TSelectionDriver::enterPosition(int level, int position)
{
    m_reader.positions[static_cast<size_t>(level)] = position;
    m_reader.stopFlags[static_cast<size_t>(level)] = false;
    const std::vector<TPositionNode>& nodes = m_nodes[static_cast<size_t>(level)];
    if (position < 0 || position >= static_cast<int>(nodes.size()) || !nodes[static_cast<size_t>(position)].leaf)
        return false;
    const TPositionNode& node = nodes[static_cast<size_t>(position)];
    m_reader.innermostCodes = &node.codes;
    QString& currentCode = m_sources.currentCodes[static_cast<size_t>(level)];
    if (!currentCode.isSharedWith(node.lastCode))
        currentCode = node.lastCode;
    m_primary.FSlice[static_cast<size_t>(m_reader.axes[static_cast<size_t>(level)])] = position;
    return true;
}

void TSelectionDriver::prepare(int level)
{
    if (m_templated[static_cast<size_t>(level)])
        m_sources.PrepareTemplatedLevel(level);
    else
        m_sources.PrepareLevel(level);
}

bool TSelectionDriver::stopped(int upTo) const
{
    for (int level = 0; level <= upTo; ++level)
        if (m_reader.stopFlags[static_cast<size_t>(level)])
            return true;
    return false;
}

void TSelectionDriver::checkContinue()
{
    if (!m_feedback.continueFlag())
        throw SelectionStop{SelectionOutcome::StoppedByUser};
}

bool TSelectionDriver::walkLevel0()
{
    prepare(0);
    const int count0 = m_sources.OpenLevel(0);
    if (count0 == 0)
        return false;
    m_weights[0] = weightOf(0);
    accumulatorsAt(0);
    if (m_sources.PositionByKey(0)) {
        for (int r = 0; r < count0; ++r) {
            walkLevel1();
            if (m_reader.stopFlags[0])
                break;
            if (!m_templated[1])
                m_sources.CloseLevel(1);
            m_sources.NextRecord(0);
        }
    }
    if (m_reader.stopFlags[0])
        return false;
    if (isDatabaseLevel(0) && m_reader.dataType()) {
        for (int p1 = 0; p1 < positionCount(1); ++p1) {
            setPosition(1, p1);
            flushInnerPositions(0, 2);
        }
    }
    m_sources.CloseLevel(0);
    finishLevel(0);
    return true;
}

// The means of a database level, flushed for every position of the levels from firstLevel
// inwards: level 2 with three coordinates, levels 2 and 3 with four.
void TSelectionDriver::flushInnerPositions(int level, int firstLevel)
{
    const bool four = m_reader.coords == 4;
    if (firstLevel == 2) {
        for (int p2 = 0; p2 < positionCount(2); ++p2) {
            setPosition(2, p2);
            if (four)
                flushInnerPositions(level, 3);
            else
                flushLevel(level, p2);
        }
        if (!four)
            resetLevel(level);
        return;
    }
    for (int p3 = 0; p3 < positionCount(3); ++p3) {
        setPosition(3, p3);
        flushLevel(level, p3);
    }
    resetLevel(level);
}

void TSelectionDriver::walkLevel1()
{
    if (!m_templated[1])
        m_sources.PrepareLevel(1);
    const TRecordReader::HashedCount hashed = m_reader.HashedPositionCount(1, positionCount(1));
    for (int k = 0; k < hashed.count; ++k) {
        const int pos1 = m_reader.HashedPosition(1, hashed.index, k);
        if (enterPosition(1, pos1)) {
            if (m_templated[1])
                m_sources.PrepareTemplatedLevel(1);
            const int count1 = m_sources.OpenLevel(1);
            if (count1 == 0)
                continue;
            m_weights[1] = weightOf(1);
            accumulatorsAt(1);
            if (m_sources.PositionByKey(1)) {
                for (int r = 0; r < count1; ++r) {
                    walkLevel2();
                    if (stopped(1))
                        break;
                    if (!m_templated[2])
                        m_sources.CloseLevel(2);
                    m_sources.NextRecord(1);
                }
            }
            if (isDatabaseLevel(1) && m_reader.dataType())
                flushInnerPositions(1, 2);
            finishLevel(1);
            if (m_reader.stopFlags[1])
                continue;
            if (m_reader.stopFlags[0])
                break;
            if (m_templated[1])
                m_sources.CloseLevel(1);
        }
        afterLevel1Position(pos1);
    }
}

void TSelectionDriver::afterLevel1Position(int position)
{
    if (m_regionCount == 1) {
        m_progress += positionCount(2) * position;
        m_feedback.progressPosition(m_progress);
    }
    m_feedback.processEvents();
    checkContinue();
}

void TSelectionDriver::walkLevel2()
{
    if (!m_templated[2])
        m_sources.PrepareLevel(2);
    const bool three = m_reader.coords == 3;
    const TRecordReader::HashedCount hashed = m_reader.HashedPositionCount(2, positionCount(2));
    for (int k = 0; k < hashed.count; ++k) {
        const int pos2 = m_reader.HashedPosition(2, hashed.index, k);
        if (!enterPosition(2, pos2)) {
            checkContinue();
            continue;
        }
        if (m_templated[2])
            m_sources.PrepareTemplatedLevel(2);
        const int count2 = m_sources.OpenLevel(2);
        if (count2 == 0)
            continue;
        m_weights[2] = weightOf(2);
        accumulatorsAt(2);
        if (m_sources.PositionByKey(2)) {
            for (int r = 0; r < count2; ++r) {
                if (three) {
                    m_reader.ProcessRecord(m_sources.query, m_sources.queryLevel, m_reader.queryAccumulators, 1,
                                           m_weights[2], m_weights[1], m_weights[0]);
                    if (stopped(1))
                        break;
                    if (!m_reader.stopFlags[2] && !m_reader.recordLeftOut()) {
                        m_reader.ProcessRecord(m_sources.table, m_sources.tableLevel, m_reader.tableAccumulators, 1,
                                               m_weights[2], m_weights[1], m_weights[0]);
                        if (stopped(1))
                            break;
                    }
                    m_reader.stopFlags[2] = false;
                } else {
                    walkLevel3();
                }
                m_sources.NextRecord(2);
            }
        }
        if (!three)
            resetLevel(3);
        if (m_reader.stopFlags[2])
            continue;
        if (stopped(1))
            break;
        if (three)
            flushLevel(2, pos2);
        else if (isDatabaseLevel(2) && m_reader.dataType())
            flushInnerPositions(2, 3);
        finishLevel(2);
        checkContinue();
    }
    if (three)
        resetLevel(2);
}

void TSelectionDriver::walkLevel3()
{
    if (!m_templated[3])
        m_sources.PrepareLevel(3);
    const TRecordReader::HashedCount hashed = m_reader.HashedPositionCount(3, positionCount(3));
    for (int k = 0; k < hashed.count; ++k) {
        const int pos3 = m_reader.HashedPosition(3, hashed.index, k);
        m_reader.plainCode.reached = false;
        if (walkPosition3(pos3) == Walk::Leave)
            break;
        if (m_reader.plainCode.reached && hashed.index < 0) {
            walkPositionsAfter(pos3, hashed.count);
            break;
        }
    }
    if (!m_templated[3])
        m_sources.CloseLevel(3);
}

// The positions after pos3 that the record's code can match, or that no code settles; the
// others as the sequential walk leaves them, failed at the code: the last of them current,
// its stop flag set.
void TSelectionDriver::walkPositionsAfter(int pos3, int count)
{
    if (!m_codePositions.positionsToTest(m_reader.plainCode.value, pos3, m_positionsToTest)) {
        for (int p = pos3 + 1; p < count; ++p)
            if (walkPosition3(p) == Walk::Leave)
                break;
        return;
    }
    for (const int p : m_positionsToTest)
        if (walkPosition3(p) == Walk::Leave)
            return;
    const int last = count - 1;
    if (last > pos3 && (m_positionsToTest.empty() || m_positionsToTest.back() < last)) {
        enterPosition(3, last);
        m_reader.stopFlags[3] = true;
    }
}

TSelectionDriver::Walk TSelectionDriver::walkPosition3(int pos3)
{
    if (enterPosition(3, pos3)) {
        if (m_templated[3])
            m_sources.PrepareTemplatedLevel(3);
        const int count3 = m_sources.OpenLevel(3);
        if (count3 == 0)
            return Walk::Next;
        m_weights[3] = weightOf(3);
        accumulatorsAt(3);
        if (m_sources.PositionByKey(3)) {
            for (int r = 0; r < count3; ++r) {
                m_reader.ProcessRecord(m_sources.query, m_sources.queryLevel, m_reader.queryAccumulators,
                                       m_weights[3], m_weights[2], m_weights[1], m_weights[0]);
                if (stopped(2))
                    break;
                if (!m_reader.stopFlags[3] && !m_reader.recordLeftOut()) {
                    m_reader.ProcessRecord(m_sources.table, m_sources.tableLevel, m_reader.tableAccumulators,
                                           m_weights[3], m_weights[2], m_weights[1], m_weights[0]);
                    if (stopped(2))
                        break;
                    m_reader.stopFlags[3] = false;
                }
                m_sources.NextRecord(3);
            }
        }
        if (m_reader.stopFlags[3])
            return Walk::Next;
        if (stopped(2))
            return Walk::Leave;
        flushLevel(3, pos3);
        finishLevel(3);
        if (m_templated[3])
            m_sources.CloseLevel(3);
    }
    checkContinue();
    return Walk::Next;
}

template <typename Action>
void TSelectionDriver::forDatabaseLevel(int level, Action action)
{
    if (m_sources.queryLevel == level)
        action(m_reader.queryAccumulators);
    if (m_sources.tableLevel == level)
        action(m_reader.tableAccumulators);
}

void TSelectionDriver::accumulatorsAt(int level)
{
    const int size = positionCount(m_reader.coords == 3 ? 2 : 3);
    forDatabaseLevel(level, [&](TLevelAccumulators& accumulators) {
        accumulators.flushed = 0;
        if (level <= 1)
            accumulators.direct = accumulators.directInTotal = 0;
        if (accumulators.list) {
            resetItems(*accumulators.list);
        } else {
            accumulators.list = std::make_unique<TTempList>(static_cast<size_t>(size));
            accumulators.size = size;
        }
    });
}

void TSelectionDriver::flushLevel(int level, int position)
{
    forDatabaseLevel(level, [&](TLevelAccumulators& accumulators) {
        m_reader.FlushAccumulators(accumulators.list.get(), position, accumulators.flushed);
    });
}

void TSelectionDriver::resetLevel(int level)
{
    forDatabaseLevel(level, [](TLevelAccumulators& accumulators) {
        if (accumulators.list)
            resetItems(*accumulators.list);
    });
}

namespace {

QString acceptedText(int flushed, int direct)
{
    QString count = QStringLiteral("0");
    if (flushed > 0 && direct > 0)
        count = QString::number(flushed) + u':' + QString::number(direct);
    else if (flushed > 0)
        count = QString::number(flushed);
    else if (direct > 0)
        count = QString::number(direct);
    return QStringLiteral("Принято: ") + count;
}

} // namespace

void TSelectionDriver::finishLevel(int level)
{
    forDatabaseLevel(level, [&](TLevelAccumulators& accumulators) {
        if (!accumulators.list)
            return;
        accumulators.list.reset();
        // The direct counter runs on over the positions of levels 2 and 3: only its growth is new.
        m_total += accumulators.direct - accumulators.directInTotal + accumulators.flushed;
        accumulators.directInTotal = accumulators.direct;
        m_feedback.progressStatus(0, acceptedText(accumulators.flushed, accumulators.direct));
        m_feedback.progressStatus(1, QStringLiteral("Всего: ") + QString::number(m_total));
    });
}

// Said once at the end of the run, for whatever ended it.
void TSelectionDriver::reportLeftOut()
{
    if (const int unknown = m_reader.unknownAgeCount(); unknown > 0)
        m_feedback.message(QStringLiteral("Записей, возраст в которых нельзя узнать (нет даты рождения или возраста), "
                                          "не учтено в половозрастных группах: %1").arg(unknown));
    if (const int overwritten = m_reader.overwrittenCellCount(); overwritten > 0)
        m_feedback.message(QStringLiteral("Ячеек, в которые попало больше одного значения: %1; в каждой осталось "
                                          "последнее. Чтобы усреднить их, включите DataType=1 в разделе "
                                          "[%2 %3 Loop0] описания баз данных %4")
                               .arg(overwritten)
                               .arg(m_previousModel, m_request.panelKind, kDescriptionFile));
}

void TSelectionDriver::countForReview(int count)
{
    m_total += count;
    TReviewList* list = m_request.reviewList;
    const int level = m_sources.queryLevel;
    const TCoordItem* query = m_sources.coordinate(level);
    if (!list || !list->visible || !query || level >= kLevelCount)
        return;
    const int p = m_reader.positions[static_cast<size_t>(level)];
    int n = count;
    const bool exists = p >= 0 && p < list->entries.size();
    if (exists) {
        const QString entry = list->entries.at(p);
        const qsizetype comma = entry.indexOf(u',');
        n += comma < 0 ? 0 : entry.mid(comma + 1).trimmed().toInt();
    }
    const QString text = query->AxisCaption + u' ' + m_sources.currentCodes[static_cast<size_t>(level)] + u','
        + QString::number(n);
    if (exists)
        list->entries[p] = text;
    else
        list->entries.append(text);
}

} // namespace

SelectionResult RunSelection(const SelectionRequest& request)
{
    const TTableFileCacheScope cachedTables;
    SelectionResult result;
    // A selection writes its cells afresh; a review only counts records.
    if (!request.review)
        request.primary->fillMissingFrom(0);
    TSelectionDriver driver(request);
    try {
        result.outcome = driver.run();
    } catch (const SelectionStop& stop) {
        result.outcome = stop.outcome;
    }
    result.total = driver.total();
    result.accepted = driver.accepted();
    driver.reportLeftOut();
    return result;
}

} // namespace verola
