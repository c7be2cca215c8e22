#pragma once
// Helpers of the DXF tests: scratch folders, drawings built in code, whole-file round trips and the ezdxf judge.
#include <filesystem>
#include <string>
#include <vector>

#include "cad/db/AcDbDatabase.h"

namespace dxftest {

std::filesystem::path scratchDir();
std::string readBytes(const std::filesystem::path& p);
void writeBytes(const std::filesystem::path& p, const std::string& bytes);

// Appends the entity to the block (model space, paper space or a definition) and closes it.
AcDbObjectId append(AcDbObjectId block, AcDbEntity* e);
// A new, empty block definition.
AcDbObjectId newBlock(AcDbDatabase& db, const wchar_t* name);
// Sends the entities to the bottom of their block's draw order, as the module does with room hatches.
// A new draw-order table names the block, or another (as a damaged file may).
void sendToBottom(AcDbObjectId block, const std::vector<AcDbObjectId>& ids, AcDbObjectId named = AcDbObjectId());

struct RoundTrip {
    bool refused = false;
    bool saved = false;
    bool renumbered = false; // the reader had to give records new handles
    std::string message;
};
RoundTrip roundTripFile(const std::filesystem::path& in, const std::filesystem::path& out);

// What a shell command prints (its output; errors when it sends them there).
std::string capture(const std::string& command);

// Runs check_roundtrip.py; returns its complaints, empty when the saved file passes.
std::string ezdxfCheck(const std::filesystem::path& original, const std::filesystem::path& saved, bool renumbered);

} // namespace dxftest
