#include "shell/clear_view_tiles.h"

#include "shell/views/text_grid_view.h"

#include <algorithm>

namespace quorvel::shell {

namespace {

// The left column's width and the top row's height.
constexpr int kColumnWidth = 353, kRowHeight = 300;
// The register tile: 223 pixels, or wider when the font needs it for the
// grid's 28 columns.
constexpr int kRegisterTileWidth = 223, kRegisterTileCells = 29;

// The lines the tiles' edges lie on.
enum class Edge : uint8_t { Origin, Column, RegistersRight, ClientRight, Row, ClientBottom };

struct TileEdges {
    ClearViewTile tile;
    Edge left, top, right, bottom;
};

// clang-format off
constexpr TileEdges kTiles[] = {
    // tile                       left                  top           right                 bottom
    {ClearViewTile::TopLeft,     Edge::Origin,         Edge::Origin, Edge::Column,         Edge::Row},
    {ClearViewTile::Registers,   Edge::Column,         Edge::Origin, Edge::RegistersRight, Edge::Row},
    {ClearViewTile::TopRight,    Edge::RegistersRight, Edge::Origin, Edge::ClientRight,    Edge::Row},
    {ClearViewTile::BottomLeft,  Edge::Origin,         Edge::Row,    Edge::Column,         Edge::ClientBottom},
    {ClearViewTile::BottomRight, Edge::Column,         Edge::Row,    Edge::ClientRight,    Edge::ClientBottom},
    {ClearViewTile::Right,       Edge::Column,         Edge::Origin, Edge::ClientRight,    Edge::ClientBottom},
};
// clang-format on

int position(Edge edge, QSize client) {
    switch (edge) {
    case Edge::Origin: return 0;
    case Edge::Column: return kColumnWidth;
    case Edge::RegistersRight:
        return kColumnWidth + std::max(kRegisterTileWidth, kRegisterTileCells * textCellWidth(textViewFont()));
    case Edge::ClientRight: return client.width();
    case Edge::Row: return kRowHeight;
    case Edge::ClientBottom: return client.height();
    }
    return 0;
}

} // namespace

QRect clearViewTile(ClearViewTile tile, QSize client) {
    for (const TileEdges& edges : kTiles) {
        if (edges.tile != tile) continue;
        const int left = position(edges.left, client), top = position(edges.top, client);
        return {left, top, std::max(1, position(edges.right, client) - left),
                std::max(1, position(edges.bottom, client) - top)};
    }
    return {};
}

} // namespace quorvel::shell
