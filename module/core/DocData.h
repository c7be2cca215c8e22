#pragma once
// Per-document bookkeeping: a record per open document, forgotten when the host destroys the
// document. The record holds the hatches the module coloured spaces and assets with.
#include <cstdint>
#include <map>
#include <unordered_map>
#include <vector>

#include "cad/app/ApDocument.h"

class CDocData {
public:
    // A hatch that colours a space or an asset of model space.
    struct ColourHatch {
        AcDbObjectId hatch;
        bool asset = false;
    };

    CDocData() {}
    ~CDocData() {}

    // The colour hatches by the handle of what each colours, read once from the drawing and kept up to
    // date as hatches are made; valid for the database they were read from.
    std::unordered_map<std::uint64_t, ColourHatch>& colourHatches() { return m_colourHatches; }
    AcDbDatabase* getColourHatchesRead() const { return m_colourHatchesRead; }
    void setColourHatchesRead(AcDbDatabase* database) { m_colourHatchesRead = database; }
    // An asset hatch has gone to the bottom, under space hatches, since these were last put beneath.
    bool getAssetHatchSunk() const { return m_assetHatchSunk; }
    void setAssetHatchSunk(bool sunk) { m_assetHatchSunk = sunk; }
    // Copies of colour hatches that another program made, read with the colour hatches; `under` once one
    // has gone beneath a colour the module gave.
    struct CopiedHatch {
        AcDbObjectId hatch;
        bool under = false;
    };
    std::vector<CopiedHatch>& copiedHatches() { return m_copiedHatches; }

private:
    std::unordered_map<std::uint64_t, ColourHatch> m_colourHatches;
    std::vector<CopiedHatch> m_copiedHatches;
    AcDbDatabase* m_colourHatchesRead = nullptr;
    bool m_assetHatchSunk = false;
};

template <class T>
class AsdkDataManager : public AcApDocManagerReactor {
public:
    AsdkDataManager() {
        if (AcApDocManager* manager = acDocManagerPtr()) {
            manager->addReactor(this);
        }
    }
    ~AsdkDataManager() override {
        if (AcApDocManager* manager = acDocManagerPtr()) {
            manager->removeReactor(this);
        }
        m_dataMap.clear();
    }
    AsdkDataManager(const AsdkDataManager&) = delete;
    AsdkDataManager& operator=(const AsdkDataManager&) = delete;

    void documentToBeDestroyed(AcApDocument* document) override { m_dataMap.erase(document); }

    // The record of a document, made on first use.
    T& docData(AcApDocument* document) { return m_dataMap[document]; }
    size_t getCount() const { return m_dataMap.size(); }

private:
    std::map<AcApDocument*, T> m_dataMap;
};

extern AsdkDataManager<CDocData> g_docDataManager;
