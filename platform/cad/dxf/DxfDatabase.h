#pragma once
// Between DXF documents and the drawing database.
//
// AcDbDatabase::readDxfFile fills a database made without the default drawing
// (AcDbDatabase(false, true)); any other gives eWrongDatabase. It gives eFileNotFound or
// eFileAccessErr for files it cannot read, eDwgNotRecognized for DWG and binary DXF and
// eBadDxfSequence for files that are no DXF at all, with the reason (naming the file) in
// lastDxfProblems. A damaged file loads what it can and gives eOk; what was dropped or repaired
// is listed in lastDxfProblems. saveAs and dxfOut write R2010 through a temporary file in the
// target's folder (eFileAccessErr when it cannot be written, with the reason in
// lastSaveProblem; eInvalidFileExtension for ".dwg").
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cad/app/DocumentFile.h"
#include "cad/db/AcDbDatabase.h"
#include "cad/dxf/DxfDocument.h"

namespace dxf {

// Fills an empty database from DXF text. Problems the file had are appended to problems.
// Throws Refused for files that are not ASCII DXF.
void loadDatabase(AcDbDatabase* db, std::string_view bytes, const std::string& fileName,
                  std::vector<std::string>& problems);
// The same, giving the text back as it is read (bytes is left empty).
void loadDatabase(AcDbDatabase* db, std::string&& bytes, const std::string& fileName,
                  std::vector<std::string>& problems);

// The database as an R2010 document.
Document saveDocument(AcDbDatabase* db);

// Text conversions between the file's UTF-8 and the database's wide strings.
std::wstring wide(std::string_view utf8);
std::string narrow(std::wstring_view text);

// What the last read of a database reported (dropped or repaired parts); empty when it was clean.
const std::vector<std::string>& lastDxfProblems(const AcDbDatabase* db);
void setDxfProblems(const AcDbDatabase* db, std::vector<std::string> problems);
// Why the last save of a database could not be written ("the disk is full"); empty when it was.
std::string lastSaveProblem(const AcDbDatabase* db);
// A digest of what a save writes of the object itself (nothing when it cannot be made): the same for
// an object written again with the values it had.
std::optional<std::uint64_t> objectFingerprint(const AcDbObject* obj);

// AcDbDatabase::readDxfFile and saveAs, telling what the file held as it was read or written (when given).
// A save given the stamp the file bore when it was found unchanged replaces it only while it bears it.
Acad::ErrorStatus readDxfFile(AcDbDatabase* db, const ACHAR* fileName, docfile::FileContents* read);
Acad::ErrorStatus saveDxf(AcDbDatabase* db, const ACHAR* fileName, docfile::FileContents* written,
                          const docfile::FileStamp* unchangedSince = nullptr);

} // namespace dxf
