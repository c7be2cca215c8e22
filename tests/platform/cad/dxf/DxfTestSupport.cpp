#include "DxfTestSupport.h"

#include "cad/db/AcDbDatabase.h"
#include "cad/dxf/DxfDatabase.h"
#include "win/Paths.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace dxftest {

fs::path scratchDir() {
    static fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("kelmo_dxf_" + std::to_string(::getpid()));
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

std::string readBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeBytes(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

RoundTrip roundTripFile(const fs::path& in, const fs::path& out) {
    RoundTrip rt;
    AcDbDatabase db(false, true);
    std::wstring source = win::nativeToWindows(in.string());
    Acad::ErrorStatus es = db.readDxfFile(source.c_str());
    for (const std::string& p : dxf::lastDxfProblems(&db)) {
        rt.message += p + "\n";
        if (p.find("handle") != std::string::npos && p.find("layout") == std::string::npos) rt.renumbered = true;
    }
    if (es != Acad::eOk) {
        rt.refused = true;
        return rt;
    }
    std::wstring target = win::nativeToWindows(out.string());
    es = db.saveAs(target.c_str());
    rt.saved = es == Acad::eOk;
    if (!rt.saved) rt.message += "save failed: " + dxf::narrow(acadErrorStatusText(es));
    return rt;
}

std::string ezdxfCheck(const fs::path& original, const fs::path& saved, bool renumbered) {
    std::string cmd = "/usr/bin/python3 -W ignore '" + std::string(KELMO_SOURCE_DIR) +
                      "/tests/platform/cad/dxf/check_roundtrip.py' '" + original.string() + "' '" + saved.string() +
                      "'" + (renumbered ? " --renumbered" : "") + " 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return "cannot run python";
    std::string out;
    std::array<char, 4096> buf;
    while (std::size_t n = std::fread(buf.data(), 1, buf.size(), p)) out.append(buf.data(), n);
    int rc = ::pclose(p);
    if (rc == 0) return "";
    return out.empty() ? "check failed" : out;
}

std::string capture(const std::string& command) {
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return "cannot run " + command;
    std::string out;
    std::array<char, 4096> buf;
    while (std::size_t n = std::fread(buf.data(), 1, buf.size(), p)) out.append(buf.data(), n);
    ::pclose(p);
    return out;
}

AcDbObjectId append(AcDbObjectId block, AcDbEntity* e) {
    AcDbBlockTableRecord* br = nullptr;
    EXPECT_EQ(acdbOpenObject(br, block, AcDb::kForWrite), Acad::eOk);
    AcDbObjectId id;
    EXPECT_EQ(br->appendAcDbEntity(id, e), Acad::eOk);
    e->close();
    br->close();
    return id;
}

AcDbObjectId newBlock(AcDbDatabase& db, const wchar_t* name) {
    AcDbBlockTable* table = nullptr;
    EXPECT_EQ(db.getBlockTable(table, AcDb::kForWrite), Acad::eOk);
    auto* br = new AcDbBlockTableRecord();
    br->setName(name);
    AcDbObjectId id;
    EXPECT_EQ(table->add(id, br), Acad::eOk);
    br->close();
    table->close();
    return id;
}

// Sends the entities to the bottom of their block's draw order, as the module does with room hatches.
// A new draw-order table names the block, or another (as a damaged file may).
void sendToBottom(AcDbObjectId block, const std::vector<AcDbObjectId>& ids, AcDbObjectId named) {
    AcDbBlockTableRecord* br = nullptr;
    ASSERT_EQ(acdbOpenObject(br, block, AcDb::kForWrite), Acad::eOk);
    if (br->extensionDictionary().isNull()) br->createExtensionDictionary();
    AcDbDictionary* xd = nullptr;
    ASSERT_EQ(acdbOpenObject(xd, br->extensionDictionary(), AcDb::kForWrite), Acad::eOk);
    AcDbSortentsTable* table = nullptr;
    if (xd->getAt(L"ACAD_SORTENTS", table, AcDb::kForWrite) != Acad::eOk) {
        table = new AcDbSortentsTable;
        table->setBlockId(named.isNull() ? block : named);
        AcDbObjectId tableId;
        ASSERT_EQ(xd->setAt(L"ACAD_SORTENTS", table, tableId), Acad::eOk);
    }
    AcDbObjectIdArray bottom;
    for (const AcDbObjectId& id : ids) bottom.append(id);
    if (!ids.empty()) {
        EXPECT_EQ(table->moveToBottom(bottom), Acad::eOk);
    }
    table->close();
    xd->close();
    br->close();
}

} // namespace dxftest
