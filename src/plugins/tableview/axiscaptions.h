#pragma once

#include "core/tables/ttab.h"

#include <QString>
#include <vector>

namespace verola::tableview {

// How a position of an axis is labelled: the name of its (last) coordinate-list line, the depth
// of that line in the list's tree, and whether it is a group, i.e. the line right below it is
// its child.
struct PositionCaption {
    QString name;
    QString line; // the whole line, attributes included
    int depth = 0;
    bool group = false;
};

// One caption per cell position of the axis (FDims[axis] of them). Positions without a line
// of their own (a table whose cells were dimensioned without lists) are numbered from 1.
std::vector<PositionCaption> positionCaptions(const TTab& table, int axis);

// The caption of an axis: its Russian caption, or its English name for the axes that have none.
QString axisCaption(int axis);

// The text a user sees for a position: the name, indented two spaces per level below the first.
QString indentedName(const PositionCaption& caption);

} // namespace verola::tableview
