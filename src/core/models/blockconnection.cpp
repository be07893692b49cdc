#include "core/models/blockconnection.h"

#include "core/platform/errors.h"
#include "core/platform/textfile.h"
#include "core/tables/lineutils.h"
#include "core/tables/ttab.h"

#include <QDir>
#include <algorithm>
#include <map>

namespace verola {

namespace {

const QString kPlaceholder = QStringLiteral("Переменная");
constexpr int kBuiltInPositions = 10;

struct BuiltInBlock {
    const char16_t* name;
    std::map<int, const char16_t*> coordinates; // position -> node text; the rest are placeholders
};

const std::vector<BuiltInBlock>& builtInBlocks()
{
    static const std::vector<BuiltInBlock> blocks = {
        {u"Выброс", {{0, u"Загрязнитель|"}, {1, u"Территория|"}, {2, u"Время|"}, {7, u"Источник|"}}},
        {u"Концентрация",
            {{0, u"Загрязнитель|Выброс,Загрязнитель"}, {1, u"Территория|Выброс,Территория"},
                {2, u"Время|Выброс,Время"}}},
        {u"Риск",
            {{0, u"Загрязнитель|Концентрация,Загрязнитель"}, {1, u"Территория|Концентрация,Территория"},
                {2, u"Время|Концентрация,Время"}, {6, u"Экспозиционная группа|"}, {8, u"Тип риска|"}}},
        {u"Заболеваемость",
            {{1, u"Территория|Риск,Территория"}, {2, u"Время|Риск,Время"},
                {3, u"Половозрастная группа|Риск,Экспозиционная группа"}, {4, u"Диагноз|Риск,Тип риска"}}},
        {u"Смертность",
            {{1, u"Территория|Заболеваемость,Территория"}, {2, u"Время|Заболеваемость,Время"},
                {3, u"Половозрастная группа|Заболеваемость,Половозрастная группа"},
                {5, u"Диагноз|Заболеваемость,Диагноз"}}},
        {u"Индекс здоровья", {}},
        {u"Индекс потерь", {}},
        {u"Ресурсы (готовность платить)", {}},
        {u"Меры (эффективность/стоимость)", {}},
        {u"Меры (выбор)", {}},
        {u"План реализации", {}},
        {u"Технология (охрана здоровья)", {}},
    };
    return blocks;
}

int leadingIndent(const QString& line)
{
    int depth = 0;
    while (depth < line.size() && (line.at(depth) == u'\t' || line.at(depth) == u' '))
        ++depth;
    return depth;
}

const TConnectionNode* childAt(const std::vector<TConnectionNode>& nodes, int i)
{
    return i >= 0 && i < static_cast<int>(nodes.size()) ? &nodes[static_cast<size_t>(i)] : nullptr;
}

} // namespace

TBlockConnectForm::TBlockConnectForm()
    : m_roots(builtInTree())
{
}

TBlockConnectForm::TBlockConnectForm(const QString& dataDirectory)
    : TBlockConnectForm()
{
    QStringList lines;
    try {
        lines = readTextLines(QDir(dataDirectory).filePath(kConnectionTreeFile));
    } catch (const EInOutError&) {
        return; // no connection file: the built-in tree stays
    }
    setTreeFromLines(lines);
}

std::vector<TConnectionNode> TBlockConnectForm::builtInTree()
{
    TConnectionNode root{QStringLiteral("Блоки"), {}};
    for (const BuiltInBlock& block : builtInBlocks()) {
        TConnectionNode blockNode{QString::fromUtf16(block.name), {}};
        for (int a = 0; a < kBuiltInPositions; ++a) {
            const auto listed = block.coordinates.find(a);
            blockNode.children.push_back({listed != block.coordinates.end()
                    ? QString::fromUtf16(listed->second)
                    : QStringLiteral("%1 %2|").arg(kPlaceholder).arg(a),
                {}});
        }
        root.children.push_back(std::move(blockNode));
    }
    return {root};
}

void TBlockConnectForm::setTreeFromLines(const QStringList& lines)
{
    m_roots.clear();
    // path[d] is the index, among its siblings, of the node of depth d on the way to the last line.
    std::vector<size_t> path;
    // Depth counts from the first line, a root whatever its indent: a file whose lines all
    // carry the same extra indent reads as the same tree.
    const int rootIndent = lines.isEmpty() ? 0 : leadingIndent(lines.first());
    for (const QString& line : lines) {
        const int indent = leadingIndent(line);
        const int depth = indent - rootIndent;
        if (depth < 0 || depth > static_cast<int>(path.size()))
            return;
        path.resize(static_cast<size_t>(depth));
        std::vector<TConnectionNode>* siblings = &m_roots;
        for (size_t i : path)
            siblings = &(*siblings)[i].children;
        siblings->push_back({line.mid(indent), {}});
        path.push_back(siblings->size() - 1);
    }
}

const std::vector<TConnectionNode>* TBlockConnectForm::blockNodes() const
{
    return m_roots.empty() ? nullptr : &m_roots.front().children;
}

void TBlockConnectForm::CoordinateNames(int block)
{
    m_names.clear();
    const auto* blocks = blockNodes();
    if (!blocks)
        return;
    for (int k = 0; k <= block && k < static_cast<int>(blocks->size()); ++k) {
        if (block < 12)
            m_names.clear();
        const auto& coordinates = (*blocks)[static_cast<size_t>(k)].children;
        for (size_t a = 0; a < coordinates.size(); ++a) {
            const QString name = LineName(coordinates[a].text);
            if (name.contains(kPlaceholder))
                continue;
            const bool known = std::any_of(m_names.begin(), m_names.end(),
                [&](const TNamedPosition& entry) { return entry.name.compare(name, Qt::CaseInsensitive) == 0; });
            if (!known)
                m_names.push_back({name, static_cast<int>(a)});
        }
    }
}

TBlockCoordinate TBlockConnectForm::FindCoordinate(const QString& blockName, const QString& coordinateName) const
{
    const auto* blocks = blockNodes();
    if (blockName.isEmpty() || coordinateName.isEmpty() || !blocks)
        return {};
    const auto block = std::find_if(blocks->begin(), blocks->end(),
        [&](const TConnectionNode& node) { return LineName(node.text) == blockName; });
    if (block == blocks->end())
        return {};
    const auto coordinate = std::find_if(block->children.begin(), block->children.end(),
        [&](const TConnectionNode& node) { return LineName(node.text) == coordinateName; });
    if (coordinate == block->children.end())
        return {};
    return {static_cast<int>(block - blocks->begin()), static_cast<int>(coordinate - block->children.begin())};
}

TBlockCoordinate TBlockConnectForm::LinkedCoordinate(int block, int position) const
{
    const auto* blocks = blockNodes();
    if (block < 0 || position < 0 || !blocks)
        return {};
    const TConnectionNode* blockNode = childAt(*blocks, block);
    const TConnectionNode* coordinate = blockNode ? childAt(blockNode->children, position) : nullptr;
    if (!coordinate)
        return {};
    return FindCoordinate(FirstItem(coordinate->text), SecondItem(coordinate->text));
}

int ComparePositions(const TCoordinateNameList& list, int i, int j)
{
    const auto a = static_cast<std::uint16_t>(list.at(static_cast<size_t>(i)).position);
    const auto b = static_cast<std::uint16_t>(list.at(static_cast<size_t>(j)).position);
    return a < b ? -1 : (a > b ? 1 : 0);
}

void sortByPositions(TCoordinateNameList& list)
{
    std::stable_sort(list.begin(), list.end(), [](const TNamedPosition& a, const TNamedPosition& b) {
        return static_cast<std::uint16_t>(a.position) < static_cast<std::uint16_t>(b.position);
    });
}

void MoveCoordinateList(TTab* table, int i, int j)
{
    if (!table || i < 0 || j < 0 || i >= kAxisCount || j >= kAxisCount || i == j)
        return;
    QStringList& source = table->FLists[static_cast<size_t>(i)];
    QStringList& target = table->FLists[static_cast<size_t>(j)];
    const int depth = target.isEmpty() ? -1 : TabLevel(target.last());
    for (const QString& line : std::as_const(source))
        if (!line.contains(wholeSetName()))
            target.append(Reindent(TabLevel(line), depth, line));
    source.clear();
    AddWholeSet(source, QString());
}

} // namespace verola
