#include "tests/transport/station_fixture.h"

#include "data/generated/interface_tables.h"
#include "data/generated/route_tables.h"
#include "data/generated/tables.h"
#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "transport/route_search.h"
#include "transport/text_format.h"
#include "transport/transport_log.h"
#include "world/object_manager.h"
#include "world/storage_hall.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int32_t kBusStop = 0, kStationKind = 4, kLandingStage = 7, kHarbour = 8;

Bytes SaveObjects() {
    Bytes bytes;
    std::string text = "test";
    uint32_t version = 1;
    EXPECT_TRUE(BeginSaveStream(OpenMemoryWriteStream(bytes), text, version));
    uint32_t tag = ChunkTag("obj");
    BeginChunk(tag);
    EXPECT_TRUE(SaveMapObjects());
    EndChunk();
    EXPECT_TRUE(CloseStream());
    return bytes;
}

bool LoadObjects(const Bytes& bytes) {
    std::string text;
    uint32_t version = 0;
    if (!BeginSaveStream(OpenMemoryReadStream(std::span(bytes)), text, version))
        return false;
    uint32_t tag = 0;
    BeginChunk(tag);
    const bool ok = LoadMapObjects();
    EndChunk();
    return CloseStream() && ok;
}

void SetNames(std::vector<std::string> suffixes) {
    StationNameExtensionTable::Clear();
    for (size_t i = 0; i < suffixes.size(); ++i)
        StationNameExtensionTable::GetOrCreateRow(int32_t(i))->Name = suffixes[i];
}

// Towns for the names: every tile with x below 32 lies in town 7.
void UseTown(std::string name) {
    GetStationHooks().townAt = [name](int32_t x, int32_t, std::string& out) {
        out = name;
        return x < 32 ? 7 : 0;
    };
}

TEST_F(StationTest, SavedStationsLoadAndSaveByteIdentically) {
    Station* a = NewStation(kStationKind, 4, 10, 10);
    Station* b = NewStation(kHarbour, 2, 30, 30);
    ASSERT_TRUE(a && b);
    a->SetLoadAreaReserved(2, true);
    a->AddIncome(1, 1234);
    a->AddKey(0x100007);
    a->LinkStation(b->GetId());
    a->SetLinkValue(0x80042, 7);
    b->SetBusySlot(3);
    b->SetName(std::string(80, 'x'));
    // A preview stays a preview over a save and a load.
    b->SetPlanned(true);
    const Bytes first = SaveObjects();

    World other;
    WorldScope scope(other);
    other.Map().SetMapSize(64, 64);
    InstallStations();
    ASSERT_TRUE(LoadObjects(first));
    const std::vector<Station*> loaded = AllStations();
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[0]->GetName(), a->GetName());
    EXPECT_EQ(loaded[0]->GetDecorations(), a->GetDecorations());
    EXPECT_TRUE(loaded[0]->IsLoadAreaReserved(2));
    EXPECT_TRUE(loaded[0]->HasVehicle(0x100007));
    EXPECT_EQ(loaded[0]->GetIncome(1), 1234);
    EXPECT_EQ(loaded[1]->GetName(), std::string(63, 'x'));
    EXPECT_EQ(loaded[1]->GetBusySlot(), 3);
    EXPECT_FALSE(loaded[0]->IsPlanned());
    EXPECT_TRUE(loaded[1]->IsPlanned());
    EXPECT_EQ(SaveObjects(), first);
    DeleteAllMapObjects();
}

TEST_F(StationTest, DamagedBlocksAreCutOrRefused) {
    Station* a = NewStation(kStationKind, 1, 10, 10);
    ASSERT_NE(a, nullptr);
    Bytes bytes = SaveObjects();
    // The name field without its terminating zero, and a rotation that is
    // no direction.
    const auto name = std::search(bytes.begin(), bytes.end(), a->GetName().begin(), a->GetName().end());
    ASSERT_NE(name, bytes.end());
    std::fill(name, name + 64, uint8_t('n'));
    name[-8] = 3;

    World other;
    WorldScope scope(other);
    other.Map().SetMapSize(64, 64);
    InstallStations();
    const uint32_t warnings = TransportWarningCount();
    ASSERT_TRUE(LoadObjects(bytes));
    ASSERT_EQ(AllStations().size(), 1u);
    EXPECT_EQ(AllStations()[0]->GetName(), std::string(63, 'n'));
    EXPECT_EQ(AllStations()[0]->GetRotation(), 1u);
    EXPECT_GT(TransportWarningCount(), warnings);
    DeleteAllMapObjects();
}

TEST_F(StationTest, TrackStationsLoadedWithoutDecorationsGetNewOnes) {
    Station* a = NewStation(kStationKind, 1, 10, 10);
    ASSERT_NE(a, nullptr);
    // Without decoration frames every platform tile is the plain one.
    ASSERT_EQ(a->GetDecorations().size(), a->LoadAreaCount());
    ASSERT_FALSE(a->GetDecorations().empty());
    for (const auto& list : a->GetDecorations()) {
        EXPECT_FALSE(list.empty());
        for (uint16_t code : list)
            EXPECT_EQ(code, 50 + 256 * 50);
    }

    // A track station saved without decoration lists (set up as a road
    // kind, then made a track kind) gets them on load.
    Station* bare = NewStation(kBusStop, 1, 30, 30);
    bare->SetTypeIndex(kStationKind);
    ASSERT_TRUE(bare->GetDecorations().empty());
    const Bytes bytes = SaveObjects();
    World other;
    WorldScope scope(other);
    other.Map().SetMapSize(64, 64);
    InstallStations();
    ASSERT_TRUE(LoadObjects(bytes));
    ASSERT_EQ(AllStations().size(), 2u);
    EXPECT_EQ(AllStations()[0]->GetDecorations(), a->GetDecorations());
    EXPECT_EQ(AllStations()[1]->GetDecorations().size(), 1u);
    DeleteAllMapObjects();
}

TEST_F(StationTest, NamesAreUniqueAndFitTheirField) {
    SetNames({"North", "South"});
    UseTown("Ashford");
    std::vector<std::string> names;
    for (int i = 0; i < 4; ++i)
        names.push_back(NewStation(kBusStop, 1, 4 + 3 * i, 4)->GetName());
    EXPECT_EQ(names[0], "Ashford North");
    EXPECT_EQ(names[1], "Ashford South");
    EXPECT_TRUE(names[2] == "Ashford North 1" || names[2] == "Ashford South 1") << names[2];
    EXPECT_NE(names[3], names[2]);
    EXPECT_EQ(names[3].substr(0, 8), "Ashford ");

    // Outside the town: the owner's count, raised past a taken name.
    NewStation(kBusStop, 1, 40, 40)->SetName("Station06");
    EXPECT_EQ(NewStation(kBusStop, 1, 44, 40)->GetName(), "Station07");
    EXPECT_EQ(NewStation(kBusStop, 1, 48, 40)->GetName(), "Station08");
    NewStation(kBusStop, 1, 52, 40)->SetName("Station09");
    EXPECT_EQ(NewStation(kBusStop, 1, 56, 40)->GetName(), "Station10");
}

TEST_F(StationTest, NamesWithoutSuffixesOrTownNames) {
    SetNames({});
    UseTown("");
    EXPECT_EQ(NewStation(kBusStop, 1, 4, 4)->GetName(), "City 7");
    EXPECT_EQ(NewStation(kBusStop, 1, 8, 4)->GetName(), "City 7 1");
    SetNames({"Quay"});
    EXPECT_EQ(NewStation(kBusStop, 1, 12, 4)->GetName(), "City 7 Quay");

    // A town name that fills the field keeps the number whole.
    UseTown(std::string(70, 'T'));
    Station* first = NewStation(kBusStop, 1, 16, 4);
    Station* second = NewStation(kBusStop, 1, 20, 4);
    EXPECT_EQ(first->GetName(), std::string(63, 'T'));
    EXPECT_EQ(second->GetName(), std::string(61, 'T') + " 1");
    // A cut never splits a character.
    first->SetName(std::string(62, 'a') + "\xC3\xA9");
    EXPECT_EQ(first->GetName(), std::string(62, 'a'));
}

TEST_F(StationTest, ExtensionsAndStages) {
    StationExtentionTable::GetOrCreateRow(4)->Type = 1; // bit 2
    StationExtentionTable::GetOrCreateRow(5)->Type = 0; // bit 1
    StationExtentionTable::GetOrCreateRow(6)->Type = 8; // bit 256
    GetStationHooks().slotCount = [](int32_t, uint32_t frame) -> uint32_t { return frame == 6 ? 3 : 1; };
    Station* s = NewStation(kStationKind, 1, 10, 10);
    const std::vector<uint32_t> list = s->GetExtensions();
    ASSERT_EQ(list.size(), 6u);
    EXPECT_EQ(std::count(list.begin(), list.end(), 0u), 1);

    EXPECT_TRUE(s->CanAddExtension(2));
    s->AddExtension(2);
    EXPECT_EQ(s->GetUpgradeLevel(), 2u);
    EXPECT_FALSE(s->CanAddExtension(1));
    EXPECT_TRUE(s->CanAddExtension(3));
    EXPECT_EQ(std::count(s->GetExtensions().begin(), s->GetExtensions().end(), 2u), 1);

    s->AddExtension(5);
    EXPECT_EQ(s->GetExtensionTypeMask(), 1u);
    s->AddExtension(4);
    EXPECT_EQ(s->GetExtensionTypeMask(), 2u); // bit 2 replaces bit 1
    EXPECT_FALSE(s->CanAddExtension(4));
    EXPECT_EQ(s->GetExtensionOfType(2), 4);
    EXPECT_EQ(s->GetExtensionOfType(64), -1);
    EXPECT_FLOAT_EQ(s->GetExtensionFactor(64, 1), 1.0f);
}

TEST_F(StationTest, AWideExtensionTakesTheBackRunWhenTheFrontIsShort) {
    StationExtentionTable::GetOrCreateRow(6)->Type = 8;
    StationExtentionTable::GetOrCreateRow(6)->BaseCosts = 100;
    // Slot counts: the building 3 wide, the extension 3.
    GetStationHooks().slotCount = [](int32_t, uint32_t frame) -> uint32_t {
        return frame == 0 || frame == 6 ? 3 : 1;
    };
    // Central station: an 8-slot strip; the building at slots 2-4.
    Station* s = NewStation(5, 1, 10, 10);
    ASSERT_EQ(s->GetExtensions(), (std::vector<uint32_t>{89, 89, 0, 0, 0, 89, 89, 89}));
    ASSERT_TRUE(s->CanAddExtension(6));
    const int64_t before = s->GetRunningCost();
    s->AddExtension(6);
    EXPECT_EQ(s->GetExtensions(), (std::vector<uint32_t>{89, 89, 0, 0, 0, 6, 6, 6}));
    EXPECT_EQ(s->GetRunningCost(), before + 100);
}

TEST_F(StationTest, LinkedStationsFormOneGroup) {
    Station* a = NewStation(kBusStop, 1, 4, 4);
    Station* b = NewStation(kBusStop, 1, 8, 4);
    Station* c = NewStation(kBusStop, 1, 12, 4);
    a->LinkStation(a->GetId());
    EXPECT_TRUE(a->GetLinkedStations().empty());
    a->LinkStation(c->GetId());
    b->LinkStation(a->GetId());
    for (Station* s : {a, b, c})
        EXPECT_EQ(s->GetLinkedStations().size(), 2u) << s->GetName();
    a->LinkStation(0x80000 | 999);
    EXPECT_EQ(a->GetLinkedStations().size(), 2u);

    a->LinkBuilding(0x80077);
    EXPECT_EQ(a->GetLinkValue(0x80077), 3u);
    UnlinkBuildingFromAllStations(0x80077);
    EXPECT_EQ(a->GetLinkValue(0x80077), 0u);
}

TEST_F(StationTest, UnlinkTownFactoriesKeepsOtherFactories) {
    std::map<ObjectHandle, int32_t> types;
    GetStationHooks().factoryType = [&types](const MapObject& o) {
        auto it = types.find(o.GetId());
        return it == types.end() ? -1 : it->second;
    };
    RegisterMapObjectClass(kCategoryBuilding, 1, [](int32_t) { return std::make_unique<Building>(1); });
    Station* s = NewStation(kBusStop, 1, 4, 4);
    for (int32_t type : {5, 5, 3}) {
        MapObject* factory = CreateMapObject(kCategoryBuilding, 1);
        ASSERT_NE(factory, nullptr);
        types[factory->GetId()] = type;
        s->LinkBuilding(factory->GetId());
    }
    EXPECT_EQ(s->GetTownFactories().size(), 2u);
    s->UnlinkTownFactories();
    EXPECT_TRUE(s->GetTownFactories().empty());
    ASSERT_EQ(s->GetLinkedBuildings().size(), 1u);
    EXPECT_EQ(types[s->GetLinkedBuildings().begin()->first], 3);
    RegisterMapObjectClass(kCategoryBuilding, 1, nullptr);
}

TEST_F(StationTest, SettlementMovesIncomeToLastPeriod) {
    Station* s = NewStation(kBusStop, 1, 4, 4);
    Player* owner = GetPlayer(0);
    s->AddIncome(0, 100);
    s->AddIncome(1, 20);
    s->AddIncome(2, 3);
    const int64_t money = owner->GetMoney();
    s->SettleAccounts();
    EXPECT_EQ(owner->GetMoney(), money + 123 - s->GetRunningCost());
    for (uint32_t k = 0; k < 3; ++k)
        EXPECT_EQ(s->GetIncome(k), 0);
    EXPECT_EQ(s->GetLastIncome(0), 100);
    EXPECT_EQ(s->GetLastIncome(1), 20);
    EXPECT_EQ(s->GetLastIncome(2), 3);
    s->SetPlanned(true);
    s->AddIncome(0, 5);
    s->SettleAccounts();
    EXPECT_EQ(s->GetIncome(0), 5);
}

TEST_F(StationTest, ReservationsOfWaterAndLargeNumbers) {
    Station* s = NewStation(kHarbour, 1, 20, 20);
    ASSERT_EQ(s->LoadAreaCount(), 3u);
    s->SetLoadAreaReserved(1, true);
    s->SetLoadAreaReserved(2, true);
    EXPECT_EQ(s->FindFreeLoadArea(false), 3u);
    EXPECT_EQ(s->CountFreeLoadAreas(false), 1u);
    s->SetBusySlot(3);
    EXPECT_EQ(s->FindFreeLoadArea(true), 0u);
    EXPECT_FALSE(s->IsFree(0));
    s->SetLoadAreaReserved(40, true);
    EXPECT_FALSE(s->IsLoadAreaReserved(40));
    s->SetLoadAreaReserved(1, false);
    s->SetLoadAreaReserved(2, false);
    EXPECT_TRUE(s->IsFree(0));
}

TEST_F(StationTest, InfoTextFillsDataFormatsSafely) {
    const char* rows[14] = {"Road",
                            "Rail",
                            "Water",
                            "A3",
                            "A4",
                            "A5",
                            "Running %s",
                            "Base %d",
                            "Ext %s costs %s",
                            "----",
                            "Income %s / %s",
                            "Kind %s: %s, %s",
                            "Owner %s%s%n%s",
                            "Manager %s"};
    ToolTip_TerminalTable::Clear();
    for (int32_t i = 0; i < 14; ++i)
        ToolTip_TerminalTable::GetOrCreateRow(i)->Text = rows[i];
    StationExtentionTable::GetOrCreateRow(6)->Type = 8;
    StationExtentionTable::GetOrCreateRow(6)->Name = "Lounge";
    Station* s = NewStation(kLandingStage, 1, 20, 20);
    s->SetName("Pier");
    std::string text;
    s->GetInfoText(text);
    EXPECT_EQ(text.substr(0, 12), "Water\nPier\n\n");
    EXPECT_NE(text.find("\n----\nIncome $0 / $0\nOwner Unnamed Company\nManager Henrik\n"), std::string::npos)
        << text;
    EXPECT_EQ(text.find("Ext "), std::string::npos);

    EXPECT_EQ(FormatDataText("%s and %d%% of %5.2f%n%s", {"a", "1"}), "a and 1% of ");
    EXPECT_EQ(FormatDataText("100%", {"x"}), "100%");
    EXPECT_EQ(FormatDataText("%y%s", {"x"}), "%yx");
}

TEST_F(StationTest, LookupsOnTheLayout) {
    // Landing stage 2 x 3 at (20, 20), rotation 1: nothing turned.
    Station* s = NewStation(kLandingStage, 1, 20, 20);
    EXPECT_EQ(GetStation(s->GetId()), s);
    EXPECT_EQ(GetStation(0x80000 | 4000), nullptr);
    EXPECT_FALSE(s->AreaContainsTile(20, 20));     // no way area 2
    EXPECT_EQ(s->GetConnectionMaskAt(20, 20), 0u); // water stations offer none
    uint32_t n = 1;
    EXPECT_FALSE(s->FindLoadAreaContaining(60, 60, n));
}

// The shipped rows the stations read, in a suite of their own so that the
// tables are freshly read.
class ShippedStationData : public StationTest {};

TEST_F(ShippedStationData, NamesTextsAndStagesAreThere) {
    EXPECT_GE(StationNameExtensionTable::RowCount(), 1);
    for (int32_t row = 0; row <= 13; ++row)
        EXPECT_FALSE(GetTerminalToolTip(row).empty()) << row;
    // The three stages are the exclusive type bits 1, 2 and 4.
    for (uint32_t stage = 1; stage <= 3; ++stage) {
        const StationExtentionRow* row = StationExtentionTable::Find(int32_t(stage));
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->Type, int32_t(stage) - 1);
        EXPECT_GT(row->Price, 0);
    }
    UseTown("Ashford");
    Station* s = NewStation(kStationKind, 1, 10, 10);
    EXPECT_EQ(s->GetName(), "Ashford Station");
    std::string text;
    s->GetInfoText(text);
    EXPECT_EQ(text.substr(0, 16), "Railway station\n");
    EXPECT_NE(text.find("Owner: Unnamed Company\n"), std::string::npos) << text;
}

TEST_F(StationTest, LoadAreasByTileAndVehicleKind) {
    // Station (3 x 6) unturned at (10, 10): loading areas along y.
    Station* s = NewStation(kStationKind, 1, 10, 10);
    for (uint32_t n = 1; n <= s->LoadAreaCount(); ++n) {
        LayoutRect rect;
        ASSERT_TRUE(s->GetLoadAreaRect(n, rect));
        EXPECT_EQ(s->FindLoadAreaAt(rect.x, rect.y), 0u); // no track yet
        Map().SetRouteKind(uint32_t(rect.x), uint32_t(rect.y), 1);
        Map().SetRouteType(1, uint32_t(rect.x), uint32_t(rect.y), 1);
        Map().SetTrackDirections(uint32_t(rect.x), uint32_t(rect.y), 5);
        EXPECT_EQ(s->FindLoadAreaAt(rect.x, rect.y), n);
        LayoutTile end;
        ASSERT_TRUE(s->GetConnPoint(2 * n, end));
        EXPECT_EQ(s->FindLoadAreaAtOrEnd(end.x, end.y), n);
        EXPECT_EQ(s->FindLoadAreaAt(end.x, end.y), 0u);
    }
    EXPECT_EQ(s->FindLoadAreaAtOrEnd(40, 40), 0u);

    // Electric trains (type 7) need an overhead line at the load point.
    RouteBuilderTable::GetOrCreateRow(1)->OverheadLine = 0;
    LayoutTile point;
    ASSERT_TRUE(s->GetLoadPoint(1, point));
    Map().SetRouteKind(uint32_t(point.x), uint32_t(point.y), 1);
    Map().SetRouteType(1, uint32_t(point.x), uint32_t(point.y), 1);
    Map().SetTrackDirections(uint32_t(point.x), uint32_t(point.y), 5);
    EXPECT_FALSE(s->SuitsVehicle(1, 7));
    EXPECT_TRUE(s->SuitsVehicle(1, 3));
    EXPECT_FALSE(s->SuitsVehicle(0, 3));
    RouteBuilderTable::GetOrCreateRow(1)->OverheadLine = 1;
    EXPECT_TRUE(s->SuitsVehicle(1, 7));
    EXPECT_TRUE(s->SuitsVehicleAtAnyLoadArea(7));
}

TEST_F(StationTest, TheLoadAreaNearestByRoute) {
    // An airfield: air routes are direct lines, so the nearest stand wins.
    Station* s = NewStation(9, 1, 20, 20);
    ASSERT_GE(s->LoadAreaCount(), 2u);
    LayoutTile second;
    ASSERT_TRUE(s->GetLoadPoint(2, second));
    // The tile beside stand 2.
    const int32_t tx = second.x + 1, ty = second.y;
    uint32_t n = 0;
    ASSERT_TRUE(s->ChooseLoadAreaByRoute(n, tx, ty, nullptr));
    EXPECT_EQ(n, 2u);
    n = 1; // a given loading area with a route is kept
    ASSERT_TRUE(s->ChooseLoadAreaByRoute(n, tx, ty, nullptr));
    EXPECT_EQ(n, 1u);
    // A road stop without a road planner has no route at all.
    Station* stop = NewStation(kBusStop, 1, 40, 40);
    n = 7;
    EXPECT_FALSE(stop->ChooseLoadAreaByRoute(n, 5, 5, nullptr));
    EXPECT_EQ(n, 7u);
}

TEST_F(StationTest, ProductsOfTheServedBuildings) {
    RegisterMapObjectClass(kCategoryBuilding, 1, [](int32_t) { return std::make_unique<Building>(1); });
    GetStationHooks().factoryAccepts = [](const MapObject&, int32_t product) { return product == 3; };
    GetStationHooks().factoryProducts = [](const MapObject&, std::vector<int32_t>& out) {
        out = {3, 8, 5000};
    };
    Station* a = NewStation(kBusStop, 1, 4, 4);
    Station* b = NewStation(kBusStop, 1, 8, 4);
    MapObject* neutral = CreateMapObject(kCategoryBuilding, 1);
    MapObject* rival = CreateMapObject(kCategoryBuilding, 1);
    neutral->SetOwner(kNeutralOwner);
    rival->SetOwner(2);
    // A made link serves; one whose mask lacks the serving bit takes part
    // in nothing.
    b->LinkBuilding(neutral->GetId());
    a->LinkStation(b->GetId());
    EXPECT_TRUE(a->AcceptsProduct(3, 0)); // through the linked station
    b->SetLinkValue(neutral->GetId(), 1);
    EXPECT_FALSE(a->AcceptsProduct(3, 0));
    b->SetLinkValue(neutral->GetId(), 7);
    EXPECT_TRUE(a->AcceptsProduct(3, 0));
    EXPECT_TRUE(a->AcceptsProduct(3, 2));
    EXPECT_FALSE(a->AcceptsProduct(4, 0));
    a->SetLinkValue(rival->GetId(), 7);
    b->SetLinkValue(neutral->GetId(), 1);
    EXPECT_FALSE(a->AcceptsProduct(3, 0)); // another company's factory
    EXPECT_TRUE(a->AcceptsProduct(3, 2));

    a->UpdateProductSet();
    EXPECT_TRUE(a->GetProductSet().none()); // the rival's factory offers nothing to a
    b->SetLinkValue(neutral->GetId(), 7);
    b->UpdateProductSet();
    EXPECT_EQ(b->GetProductSet().count(), 2u);
    a->MergeLinkedStationProducts();
    EXPECT_TRUE(a->GetProductSet().test(8));

    // A storage hall makes the set full.
    MapObject* hall = CreateMapObject(kCategoryBuilding, 6);
    ASSERT_NE(hall, nullptr);
    hall->SetOwner(0);
    b->SetLinkValue(hall->GetId(), 7);
    b->UpdateProductSet();
    EXPECT_TRUE(b->GetProductSet().all());
    RegisterMapObjectClass(kCategoryBuilding, 1, nullptr);
}

TEST_F(StationTest, DecorationsDependOnTheStationAloneAndUseTheFramesThere) {
    GetStationHooks().decorationFrameExists = [](int32_t, int32_t frame) {
        return (frame >= 3 && frame <= 9) || (frame >= 60 && frame <= 64);
    };
    const std::vector<std::vector<uint16_t>> first = NewStation(kStationKind, 4, 10, 10)->GetDecorations();
    ASSERT_FALSE(first.empty());
    for (const auto& list : first) {
        for (uint16_t code : list) {
            for (uint32_t frame : {uint32_t(code & 0xFF), uint32_t(code >> 8)})
                EXPECT_TRUE((frame >= 3 && frame <= 9) || frame == 50 || (frame >= 60 && frame <= 64))
                    << frame;
        }
    }
    // Another world whose streams have moved on gives the same platforms.
    World other;
    WorldScope scope(other);
    other.Map().SetMapSize(64, 64);
    InstallStations();
    for (int i = 0; i < 17; ++i) {
        CurrentWorld().runtimeRandom.Next();
        GameRandom();
    }
    EXPECT_EQ(NewStation(kStationKind, 4, 10, 10)->GetDecorations(), first);
    DeleteAllMapObjects();
}

TEST_F(StationTest, DeliveriesGoToTheHighestDemandOrAHall) {
    RegisterMapObjectClass(kCategoryBuilding, 1, [](int32_t) { return std::make_unique<Building>(1); });
    std::map<ObjectHandle, float> demand;
    std::vector<ObjectHandle> received;
    GetStationHooks().factoryAccepts = [](const MapObject&, int32_t product) { return product == 3; };
    GetStationHooks().factoryDemand = [&demand](const MapObject& f, int32_t) { return demand[f.GetId()]; };
    GetStationHooks().factoryReceive = [&received](MapObject& f, int32_t) { received.push_back(f.GetId()); };
    Station* a = NewStation(kBusStop, 1, 4, 4);
    Station* b = NewStation(kBusStop, 1, 8, 4);
    a->LinkStation(b->GetId());
    MapObject* low = CreateMapObject(kCategoryBuilding, 1);
    MapObject* high = CreateMapObject(kCategoryBuilding, 1);
    low->SetOwner(kNeutralOwner);
    high->SetOwner(kNeutralOwner);
    a->SetLinkValue(low->GetId(), 7);
    b->SetLinkValue(high->GetId(), 7);
    struct Case {
        float low, high;
        ObjectHandle winner;
    };
    const Case cases[] = {
        {0.8f, 1.2f, high->GetId()}, {1.0f, 1.0f, low->GetId()}, {1.5f, 1.2f, low->GetId()}};
    for (const Case& c : cases) {
        demand[low->GetId()] = c.low;
        demand[high->GetId()] = c.high;
        received.clear();
        a->DeliverProduct(Station::Load{3, 0, 0, 4, 4});
        ASSERT_EQ(received.size(), 1u);
        EXPECT_EQ(received[0], c.winner) << c.low << " " << c.high;
    }

    // Nothing accepts product 4: the player's storage hall keeps it.
    ProductTable::GetOrCreateRow(4)->CanPlacedInStorageHall = 1;
    StoragePlaceTable::GetOrCreateRow(0)->Capacity = 10;
    auto* hall = dynamic_cast<StorageHall*>(CreateMapObject(kCategoryBuilding, 6));
    ASSERT_NE(hall, nullptr);
    hall->SetTypeIndex(0);
    hall->SetOwner(0);
    b->SetLinkValue(hall->GetId(), 7);
    received.clear();
    EXPECT_EQ(a->DeliverProduct(Station::Load{4, 0, 0, 4, 4}), 0.0f);
    EXPECT_TRUE(received.empty());
    EXPECT_EQ(hall->GetStock(4), 1);
    // Another company's load finds no hall of its own.
    EXPECT_EQ(a->DeliverProduct(Station::Load{4, 2, 0, 4, 4}), 0.0f);
    EXPECT_EQ(hall->GetStock(4), 1);
    RegisterMapObjectClass(kCategoryBuilding, 1, nullptr);
}

} // namespace
