#pragma once
// One category of a graphic report: a title, the hatch its spaces and assets get, and those spaces
// and assets.
#include "classlib/Afx.h"
#include "xml/MsXml.h"

class CAssets;
class CBlocks;
class CHatch;

class CCategory {
public:
    CCategory();
    ~CCategory();
    CCategory(const CCategory&) = delete;
    CCategory& operator=(const CCategory&) = delete;

    int getID() const { return m_id; }
    void setID(int id) { m_id = id; }
    CString getTitle() const { return m_title; }
    void setTitle(CString title) { m_title = title; }
    // The owned parts; null when absent. The setters take the new part and leave the one they
    // replace to the caller.
    CHatch* getHatch() const { return m_hatch; }
    void setHatch(CHatch* hatch) { m_hatch = hatch; }
    CBlocks* getBlocks() const { return m_blocks; }
    void setBlocks(CBlocks* blocks) { m_blocks = blocks; }
    CAssets* getAssets() const { return m_assets; }
    void setAssets(CAssets* assets) { m_assets = assets; }

    // Whether the two show alike in a legend: equal titles and equal hatches (pattern, colour, angle
    // and scale), two missing hatches counting as equal.
    bool sameLook(const CCategory* other) const;

    // What the file held that the category could not take, one line each ("hatch colour red is not
    // ..."); said when the category is applied.
    const CStringArray& getReadProblems() const { return m_readProblems; }
    void addReadProblem(const CString& problem) { m_readProblems.Add(problem); }

    void deSerialize(IXMLDOMNodePtr node);
    void serialize(IXMLDOMNodePtr& node, CString namespaceURI);

private:
    int m_id;
    CString m_title;
    CHatch* m_hatch;
    CBlocks* m_blocks;
    CAssets* m_assets;
    CStringArray m_readProblems;
};
