// The table window library as the program loads it: by file name, entry points by name.
#include "plugins/api/pluginhandles.h"

#include "tablefixtures.h"

#include <QLibrary>
#include <QPointer>
#include <QWidget>
#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

namespace {

struct TableViewLibrary {
    QLibrary library{QStringLiteral(VEROLA_PROGRAM_DIR "/TableView")};
    VerolaPluginApiVersionFn version = nullptr;
    DllTableCreateFn create = nullptr;
    DllTableCloseFn close = nullptr;
    DllTableHideFn hide = nullptr;
    DllTableSetTablesFn setTables = nullptr;
    DllTableLoadTableFn loadTable = nullptr;
    DllTabEQTableFn eqTable = nullptr;
    DllSetDesFn setDes = nullptr;
    DllTableSetCallBackFn setCallBack = nullptr;

    bool load()
    {
        if (!library.load())
            return false;
        version = reinterpret_cast<VerolaPluginApiVersionFn>(library.resolve("VerolaPluginApiVersion"));
        create = reinterpret_cast<DllTableCreateFn>(library.resolve("DllTableCreate"));
        close = reinterpret_cast<DllTableCloseFn>(library.resolve("DllTableClose"));
        hide = reinterpret_cast<DllTableHideFn>(library.resolve("DllTableHide"));
        setTables = reinterpret_cast<DllTableSetTablesFn>(library.resolve("DllTableSetTables"));
        loadTable = reinterpret_cast<DllTableLoadTableFn>(library.resolve("DllTableLoadTable"));
        eqTable = reinterpret_cast<DllTabEQTableFn>(library.resolve("DllTabEQTable"));
        setDes = reinterpret_cast<DllSetDesFn>(library.resolve("DllSetDes"));
        setCallBack = reinterpret_cast<DllTableSetCallBackFn>(library.resolve("DllSetCallBack"));
        return true;
    }
};

} // namespace

TEST(TableViewLibrary, OffersEveryEntryPointOfTheTableWindow)
{
    TableViewLibrary lib;
    ASSERT_TRUE(lib.load()) << lib.library.errorString().toStdString();
    ASSERT_NE(lib.version, nullptr);
    EXPECT_EQ(lib.version(), VEROLA_PLUGIN_API_VERSION);
    EXPECT_NE(lib.create, nullptr);
    EXPECT_NE(lib.close, nullptr);
    EXPECT_NE(lib.hide, nullptr);
    EXPECT_NE(lib.setTables, nullptr);
    EXPECT_NE(lib.loadTable, nullptr);
    EXPECT_NE(lib.eqTable, nullptr);
    EXPECT_NE(lib.setDes, nullptr);
    EXPECT_NE(lib.setCallBack, nullptr);
    // The window classes stay inside: only the C entry points are exported.
    EXPECT_EQ(lib.library.resolve("_ZN6verola9tableview11TableWindowC1EP7QWidget"), nullptr);
}

TEST(TableViewLibrary, ShowsTheTablesItIsGivenAndClosesOnRequest)
{
    TableViewLibrary lib;
    ASSERT_TRUE(lib.load()) << lib.library.errorString().toStdString();
    QWidget application;
    auto table = makeRegionTable();
    auto partner = makeRegionTable();
    auto other = makeRegionTable();

    lib.setDes("Demo", "/tmp");
    VerolaWindow handle = lib.create(&application);
    ASSERT_NE(handle, nullptr);
    QPointer<QWidget> window = static_cast<QWidget*>(handle);
    EXPECT_TRUE(window->isWindow());
    EXPECT_EQ(window->parentWidget(), &application);
    lib.setCallBack(handle, nullptr, nullptr, nullptr); // no map window to follow

    lib.setTables(handle, plugin::handleOf(table.get()), plugin::handleOf(partner.get()), 1);
    EXPECT_EQ(table->FCompareMode, 1);
    EXPECT_EQ(table->FBackground, partner.get());
    const plugin::TextBuffer kind(QStringLiteral("Риск"));
    const plugin::TextBuffer unit(QStringLiteral("1/год"));
    lib.loadTable(handle, kind.data, unit.data, nullptr, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->windowTitle().contains(QStringLiteral("Риск")));
    EXPECT_TRUE(window->windowTitle().contains(QStringLiteral("1/год")));
    EXPECT_TRUE(window->windowTitle().contains(QStringLiteral("Demo")));

    EXPECT_EQ(lib.eqTable(handle, plugin::handleOf(table.get())), 1);
    EXPECT_EQ(lib.eqTable(handle, plugin::handleOf(other.get())), 0);
    EXPECT_EQ(lib.eqTable(handle, nullptr), 0);
    EXPECT_EQ(lib.eqTable(nullptr, plugin::handleOf(table.get())), 0);

    lib.setTables(handle, plugin::handleOf(other.get()), plugin::handleOf(other.get()), 0);
    EXPECT_EQ(lib.eqTable(handle, plugin::handleOf(table.get())), 0);
    EXPECT_EQ(lib.eqTable(handle, plugin::handleOf(other.get())), 1);

    lib.setDes("Renamed", "/tmp");
    EXPECT_TRUE(window->windowTitle().contains(QStringLiteral("Renamed")));

    lib.hide(handle);
    EXPECT_FALSE(window->isVisible());
    lib.loadTable(handle, kind.data, unit.data, nullptr, nullptr); // the table command again
    EXPECT_TRUE(window->isVisible());

    lib.close(handle); // at once: the library may go right after
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(lib.library.unload());
}
