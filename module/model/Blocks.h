#pragma once
// The block collection: owns space records of every class and fills itself from the drawing (space
// blocks by level, every insert, the legend and pie-chart markers) or from a "kelmoBlocks" element.
#include "cad/AcDb.h"
#include "classlib/Afx.h"
#include "xml/MsXml.h"

class CAcadDrawing;
class CBlock;
class CBlockVXR;
class CHatch;
class CStoredProcedure;

class CBlocks {
public:
    CBlocks();
    ~CBlocks();
    CBlocks(const CBlocks&) = delete;
    CBlocks& operator=(const CBlocks&) = delete;

    // Space blocks as level blocks: level "f" gives rooms and floors, any other rooms' buildings and
    // floors' sites. The status pointer is the caller's and is not written.
    void getKelmoDWGBlocks_SS(CAcadDrawing* drawing, int* status, int loadAssets, CString level);
    void getKelmoDWGBlocks_I(CAcadDrawing* drawing, int* status, int loadAssets, CString level);
    void getAcadBlocks(CAcadDrawing* drawing, int* status);
    void getLegendBlock_SS(CAcadDrawing* drawing);
    void getPieBlock_SS(CAcadDrawing* drawing);

    int getKelmoBlockSS(ads_name selection);
    int getLegendBlockSS(ads_name selection);
    int getPieBlockSS(ads_name selection);
    int getAcadBlockSS(ads_name selection);

    CString readNameFromXData(AcDbBlockReference* reference);
    void zoomToBlocks(CAcadDrawing* drawing, double margin);

    // The register: the register blocks below a parent location (rooms with their assets on request),
    // and the blocks of a report category with their attributes, hyperlinks and a copy of its hatch.
    void getVXRBlocks(CStoredProcedure* procedure, int timeout, int parentID, int loadAssets);
    void getCategoryDWGBlocks(CStoredProcedure* procedure, int timeout, int categoryID, CHatch* hatch);

    IXMLDOMNodePtr serialize(CString namespaceURI);
    void deSerialize(IXMLDOMNodePtr node, CHatch* hatch);

    // Takes the block; returns the new count.
    int addBlock(CBlock* block);
    int getCount() const { return m_count; }
    CBlock* getAt(int index);
    CBlock* getAt(CString handle);
    CBlock* getByCode(CString code);
    // The first register block with the register id; blocks of the drawing are passed over.
    CBlockVXR* getAtVXRBlock(int id);
    void replaceAt(int index, CBlock* block);
    void deleteObjects();
    void deleteObject(CBlock* block);
    void sortBlocksByHandle(int ascending);

private:
    enum class Query { spaces, legend, pie };
    // The selection frame: lock, zoom out, select, build, free, zoom back, unlock.
    void selectBlocks(CAcadDrawing* drawing, Query query, int loadAssets, const CString& level);
    // Adds the level block a space-block reference stands for.
    void addSpaceBlock(CAcadDrawing* drawing, AcDbBlockReference* reference, const CString& definitionName,
                       int loadAssets, const CString& level);

    CTypedPtrArray<CPtrArray, CBlock*> m_blocks;
    int m_count;
};
