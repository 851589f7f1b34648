#include <gtest/gtest.h>

#include <string>

#include "commands/station_table.h"

TEST(StationTable, ForgetsTheLeastRecentlyProbedClientWhenFull) {
    StationTable table;
    for (size_t i = 0; i < StationTable::kCapacity; ++i) {
        table.Record("client-" + std::to_string(i), "PC");
    }
    // client-0 probes again, so client-1 is now the one probed longest ago.
    table.Record("client-0", "PC again");
    table.Record("newcomer", "PC");
    EXPECT_EQ(table.Size(), StationTable::kCapacity);
    std::string name;
    EXPECT_TRUE(table.Lookup("client-0", &name));
    EXPECT_EQ(name, "PC again");
    EXPECT_FALSE(table.Lookup("client-1", &name));
    EXPECT_TRUE(table.Lookup("client-2", &name));
    EXPECT_TRUE(table.Lookup("newcomer", &name));
    // Overwriting an existing client never evicts anyone.
    table.Record("client-2", "renamed");
    EXPECT_EQ(table.Size(), StationTable::kCapacity);
    EXPECT_TRUE(table.Lookup("client-3", &name));
}

TEST(StationTable, EmptyClientIdIsAKeyLikeAnyOther) {
    StationTable table;
    table.Record("", "PC");
    std::string name;
    EXPECT_TRUE(table.Lookup("", &name));
    EXPECT_EQ(name, "PC");
    EXPECT_FALSE(table.Lookup("x", &name));
}
