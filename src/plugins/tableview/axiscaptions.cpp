#include "plugins/tableview/axiscaptions.h"

#include "core/tables/lineutils.h"

namespace verola::tableview {

std::vector<PositionCaption> positionCaptions(const TTab& table, int axis)
{
    std::vector<PositionCaption> captions;
    if (!validAxis(axis))
        return captions;
    const QStringList& list = table.FLists[axis];
    const TIndex& index = table.FIndex[axis];
    const int count = qMax(0, table.FDims[axis]);
    captions.reserve(count);
    for (int pos = 0; pos < count; ++pos) {
        PositionCaption caption;
        const int line = pos < static_cast<int>(index.FPosLine.size()) ? index.FPosLine[pos] - 1 : -1;
        if (line > 0 && line < list.size()) {
            caption.line = list.at(line);
            caption.name = LineName(caption.line);
            caption.depth = TabLevel(caption.line);
            caption.group = line + 1 < list.size() && TabLevel(list.at(line + 1)) == caption.depth + 1;
        } else {
            caption.name = QString::number(pos + 1);
        }
        captions.push_back(std::move(caption));
    }
    return captions;
}

QString axisCaption(int axis)
{
    const QStringList captions = coordinateCaptions();
    if (axis >= 0 && axis < captions.size())
        return captions.at(axis);
    return CoordFieldName(axis);
}

QString indentedName(const PositionCaption& caption)
{
    return QString(2 * qMax(0, caption.depth - 1), u' ') + caption.name;
}

} // namespace verola::tableview
