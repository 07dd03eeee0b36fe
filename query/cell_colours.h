#pragma once
// Per-cell colours of the plate list, keyed by row index and column, and
// whether colours are in use at all. Entries name indices, not rows, so
// deleting or inserting rows leaves each at its index; only clearCellColours()
// removes them. That is why the query's grey, blue, green and red are not
// kept here but in the rows (PlateRow::plateBackground), which a viewer paints
// ahead of any entry. Every change and lookup is serialised; up to two query
// workers write while the GUI thread paints.

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace yhz {

class PlateStore;

// 0x00BBGGRR.
using ColourRef = std::uint32_t;
inline constexpr ColourRef kColourBlack = 0x000000;
inline constexpr ColourRef kColourWhite = 0xFFFFFF;
inline constexpr ColourRef kColourGrey = 0x808080;   // being queried, or failed
inline constexpr ColourRef kColourBlue = 0xFF0000;   // expired
inline constexpr ColourRef kColourGreen = 0x00FF00;  // available
inline constexpr ColourRef kColourRed = 0x0000FF;    // occupied

struct CellColour {
    int row = 0;
    int column = 0;
    ColourRef text = kColourBlack;
    ColourRef background = kColourWhite;
    bool operator==(const CellColour&) const = default;
};

// Rows whose painting may have changed since the viewer last looked.
struct ColourChanges {
    bool all = false;
    int firstRow = 0;
    int endRow = 0;  // exclusive; equal to firstRow when nothing changed
};

class CellColourTable {
public:
    struct Paint {
        ColourRef text;
        ColourRef background;
    };

    // The list's own text and background colours.
    explicit CellColourTable(ColourRef listText = kColourBlack,
                             ColourRef listBackground = kColourWhite);

    void setListColours(ColourRef text, ColourRef background);

    // Adds, replaces or removes the entry of (row, column); an entry equal to
    // the list's own colours is removed (or never added). Without a
    // background the list's own is used.
    void setCellColour(int row, int column, ColourRef text,
                       std::optional<ColourRef> background = std::nullopt);

    // Empties the table; does nothing before the first setCellColour().
    void clearCellColours();

    // Colours are in use (cells without an entry paint black on the list's
    // background) although the table holds none: a query colours the plate
    // cells through the rows themselves (PlateRow::plateBackground).
    void useColours();

    // How to paint a cell: nullopt before colours are in use (the list paints
    // itself), then the cell's entry, or black on the list's background.
    std::optional<Paint> paint(int row, int column) const;

    std::optional<CellColour> entry(int row, int column) const;
    std::vector<CellColour> entries() const;
    bool inUse() const;

    // Called under the table's lock on the first change after takeChanges();
    // it must only post or flag.
    void setListener(std::function<void()> listener);
    ColourChanges takeChanges();

private:
    void markLocked(int firstRow, int endRow, bool all);

    mutable std::mutex mutex_;
    std::map<std::pair<int, int>, CellColour> entries_;
    ColourRef listText_;
    ColourRef listBackground_;
    bool inUse_ = false;
    std::function<void()> listener_;
    bool pending_ = false;
    ColourChanges changes_;
};

// "全部删除": deletes every row, then the colours, so that the old rows'
// colours do not show on new ones.
void deleteAllPlates(PlateStore& plates, CellColourTable& colours);

}  // namespace yhz
