#include "surface/TriMesh.h"

#include <gtest/gtest.h>

TEST(TriMesh, NeighborsOfOneTriangle)
{
    TriMesh m;
    m.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    m.faces = {{0, 1, 2}};
    m.need_neighbors();
    ASSERT_EQ(m.neighbors.size(), 3u);
    EXPECT_EQ(m.neighbors[0], (std::vector<int>{1, 2}));
    EXPECT_TRUE(m.is_bdy(0));
}
