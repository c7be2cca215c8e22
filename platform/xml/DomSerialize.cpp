// Serialising: the markup of a node (xml) or a document, and saving a document to a file.
#include "xml/DomInternal.h"

#include <libxml/xmlsave.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "win/Encoding.h"
#include "win/Paths.h"
#include "win/TempNames.h"
#include "win/WinApi.h"

using namespace xmldom;

namespace {

std::string serialize(xmlNodePtr n) {
    xmlBufferPtr buf = xmlBufferCreate();
    if (!buf) fail(E_OUTOFMEMORY, L"Out of memory.");
    xmlSaveCtxtPtr ctxt = xmlSaveToBuffer(buf, "UTF-8", XML_SAVE_NO_DECL | XML_SAVE_AS_XML);
    if (!ctxt) {
        xmlBufferFree(buf);
        fail(E_OUTOFMEMORY, L"Out of memory.");
    }
    xmlSaveTree(ctxt, n);
    xmlSaveClose(ctxt);
    std::string s(reinterpret_cast<const char*>(xmlBufferContent(buf)), static_cast<std::size_t>(xmlBufferLength(buf)));
    xmlBufferFree(buf);
    return s;
}

bool isDeclaration(xmlNodePtr n) {
    return n->type == XML_PI_NODE && n->name && xmlStrcasecmp(n->name, X("xml")) == 0;
}

// The declaration's data with its encoding made UTF-8, the encoding the file is written in.
std::string declarationData(const std::string& data) {
    const auto at = data.find("encoding");
    if (at == std::string::npos) return data + " encoding=\"UTF-8\"";
    std::size_t q = data.find_first_of("\"'", at);
    if (q == std::string::npos) return data;
    const std::size_t end = data.find(data[q], q + 1);
    if (end == std::string::npos) return data;
    return data.substr(0, q + 1) + "UTF-8" + data.substr(end);
}

std::string documentText(xmlDocPtr d) {
    std::string decl = "version=\"1.0\" encoding=\"UTF-8\"";
    for (xmlNodePtr c = d->children; c; c = c->next)
        if (isDeclaration(c)) {
            decl = declarationData(contentOf(c));
            break;
        }
    std::string out = "<?xml " + decl + "?>\r\n";
    for (xmlNodePtr c = d->children; c; c = c->next) {
        if (isDeclaration(c)) continue;
        out += serialize(c) + "\r\n";
    }
    return out;
}

} // namespace

_bstr_t IXMLDOMNode::Getxml() {
    if (isDocNode(node_)) return B(documentText(reinterpret_cast<xmlDocPtr>(node_)));
    std::string text = serialize(node_);
    if (node_->type == XML_ATTRIBUTE_NODE && !text.empty() && text[0] == ' ') text.erase(0, 1);
    return B(text);
}

void IXMLDOMDocument::save(const _variant_t& destination) {
    if (destination.vt != VT_BSTR) fail(E_INVALIDARG, L"The parameter is incorrect.\r\n");
    const std::wstring path = destination.bstrVal ? destination.bstrVal : L"";
    // A refused target is named with the kind of file it is, as every writer names it.
    if (const std::string refused = win::nameRefusal(path); !refused.empty())
        fail(E_ACCESSDENIED, win::fromUtf8(refused));
    std::string native;
    DWORD err = 0;
    if (!win::mapToNative(path.c_str(), native, &err)) fail(HRESULT_FROM_WIN32(err), win::systemMessage(err));
    // Into a temporary this process is writing (a staged output's): through its own descriptor, never
    // through what stands at its name; its writer places it.
    if (const int into = win::temporaryBeingWritten(native); into >= 0) {
        const std::string text = documentText(reinterpret_cast<xmlDocPtr>(node_));
        bool ok = ::ftruncate(into, 0) == 0;
        for (std::size_t done = 0; ok && done < text.size();) {
            const ssize_t w = ::write(into, text.data() + done, text.size() - done);
            if (w < 0 && errno == EINTR) continue;
            ok = w > 0;
            if (ok) done += static_cast<std::size_t>(w);
        }
        const int e = errno;
        ::close(into);
        if (!ok) {
            const DWORD code = win::errorFromErrno(e, native);
            fail(HRESULT_FROM_WIN32(code), win::systemMessage(code));
        }
        return;
    }
    // Written through the target's links to the file they lead to, which stay.
    std::string loop;
    native = win::linkedFile(native, &loop);
    if (native.empty()) fail(E_ACCESSDENIED, win::fromUtf8(loop));
    int refusal = 0;
    if (const std::string refused = win::writeRefusal(native, refusal); !refused.empty())
        fail(E_ACCESSDENIED, win::fromUtf8(refused));
    struct stat st {};
    const bool exists = ::stat(native.c_str(), &st) == 0;
    if (exists && ::access(native.c_str(), W_OK) != 0) fail(E_ACCESSDENIED, win::systemMessage(ERROR_ACCESS_DENIED));
    const std::string text = documentText(reinterpret_cast<xmlDocPtr>(node_));

    // Write beside the target and rename over it: the old file survives any failure.
    std::string temp;
    const int fd = win::makeTemporary(native, temp);
    if (fd < 0) {
        const DWORD code = win::errorFromErrno(errno, native);
        fail(HRESULT_FROM_WIN32(code), win::systemMessage(code));
    }
    bool ok = true;
    for (std::size_t done = 0; ok && done < text.size();) {
        const ssize_t w = ::write(fd, text.data() + done, text.size() - done);
        if (w < 0 && errno == EINTR) continue;
        ok = w > 0;
        if (ok) done += static_cast<std::size_t>(w);
    }
    int e = errno;
    // A new file's permissions; one replaced keeps its own, with its owner and group (placeTemporary).
    if (!exists) ::fchmod(fd, win::newFileMode());
    // On the disk before it takes the target's name: once renamed, the file is saved, and a close that
    // fails after it loses nothing.
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        e = errno;
    }
    // Placed while still open and locked: a stale-temporary sweep cannot take it meanwhile.
    std::string why;
    if (ok && !win::placeTemporary(fd, temp, native, false, why)) {
        ok = false;
        e = errno;
    }
    if (!ok) win::removeTemporary(fd, temp);
    ::close(fd);
    if (!ok && !why.empty()) fail(E_ACCESSDENIED, win::fromUtf8(why));
    if (!ok) {
        const DWORD code = win::errorFromErrno(e, native);
        fail(HRESULT_FROM_WIN32(code), win::systemMessage(code));
    }
    win::removeStaleTemporaries(native);
}
