#pragma once
// Per-document bookkeeping: a record per open document, forgotten when the host destroys the
// document. The record holds nothing yet.
#include <map>

#include "cad/app/ApDocument.h"

class CDocData {
public:
    CDocData() {}
    ~CDocData() {}
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
