#pragma once

#include "core/coreexport.h"

// The block connection: for every block and every coordinate position of its tables, the
// coordinate's name and, optionally, the coordinate of some block whose values it takes over.
// A plain object created at start-up; nothing shows or edits it.

#include <QString>
#include <QStringList>
#include <vector>

namespace verola {

class TTab;

inline const QString kConnectionTreeFile = QStringLiteral("total.cnn");

// A node of the connection tree: a text and its children in order.
struct VEROLA_CORE_EXPORT TConnectionNode {
    QString text;
    std::vector<TConnectionNode> children;
};

// A coordinate name with the coordinate position it was found at.
struct VEROLA_CORE_EXPORT TNamedPosition {
    QString name;
    int position = 0;
};
using TCoordinateNameList = std::vector<TNamedPosition>;

struct VEROLA_CORE_EXPORT TBlockCoordinate {
    int block = -1;
    int position = -1;
    bool operator==(const TBlockCoordinate&) const = default;
};

// Asked for every block's coordinate names; "all blocks" to CoordinateNames.
constexpr int kAllBlocks = 999;

class VEROLA_CORE_EXPORT TBlockConnectForm {
public:
    // Starts with the built-in tree.
    TBlockConnectForm();
    // Reads dataDirectory/total.cnn; keeps the built-in tree when the file cannot be read.
    explicit TBlockConnectForm(const QString& dataDirectory);

    static std::vector<TConnectionNode> builtInTree();
    // Replaces the tree by the lines of a connection file: depth by leading tabs or blanks.
    // A line more than one level deeper than the one before ends the reading; the nodes
    // read before it stay.
    void setTreeFromLines(const QStringList& lines);
    const std::vector<TConnectionNode>& tree() const { return m_roots; }

    void CoordinateNames(int block);
    const TCoordinateNameList& CoordinateNameList() const { return m_names; }

    TBlockCoordinate FindCoordinate(const QString& blockName, const QString& coordinateName) const;
    TBlockCoordinate LinkedCoordinate(int block, int position) const;

private:
    const std::vector<TConnectionNode>* blockNodes() const;

    std::vector<TConnectionNode> m_roots;
    TCoordinateNameList m_names;
};

// -1, 0 or 1: the positions of entries i and j compared as unsigned 16-bit numbers.
int ComparePositions(const TCoordinateNameList& list, int i, int j);
// Sorts the list by position with ComparePositions.
void sortByPositions(TCoordinateNameList& list);

// Moves the value lines of the table's list i onto its list j, at the depth of list j's last line.
void MoveCoordinateList(TTab* table, int i, int j);

} // namespace verola
