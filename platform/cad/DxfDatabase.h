#pragma once
// Between DXF documents and the drawing database.
#include <string>
#include <string_view>
#include <vector>

#include "cad/AcDbDatabase.h"
#include "cad/DxfDocument.h"

namespace dxf {

// Fills an empty database from DXF text. Problems the file had are appended to problems.
// Throws Refused for files that are not ASCII DXF.
void loadDatabase(AcDbDatabase* db, std::string_view bytes, const std::string& fileName, std::vector<std::string>& problems);

// The database as an R2010 document.
Document saveDocument(AcDbDatabase* db);

// Text conversions between the file's UTF-8 and the database's wide strings.
std::wstring wide(std::string_view utf8);
std::string narrow(std::wstring_view text);

// What the last read of a database reported (dropped or repaired parts); empty when it was clean.
const std::vector<std::string>& lastDxfProblems(const AcDbDatabase* db);
void setDxfProblems(const AcDbDatabase* db, std::vector<std::string> problems);

}  // namespace dxf
