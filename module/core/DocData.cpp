#include "core/DocData.h"

// The one document-data manager the module keeps is built with the module's other globals.
template class AsdkDataManager<CDocData>;
