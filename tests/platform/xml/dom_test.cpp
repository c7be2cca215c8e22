#include "xml/MsXml.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "win/Paths.h"
#include "win/WinApi.h"

namespace fs = std::filesystem;

namespace {

const wchar_t* const kNs = L"http://example.org/Ostrel";

class DomTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("dom_" + std::to_string(::getpid()) + "_" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
        win::setCDrive(root_.string());
    }
    void TearDown() override { fs::remove_all(root_); }

    static IXMLDOMDocumentPtr newDoc() {
        IXMLDOMDocumentPtr doc;
        EXPECT_EQ(doc.CreateInstance(L"Msxml2.DOMDocument", nullptr, CLSCTX_ALL), S_OK);
        return doc;
    }
    static _variant_t element() { return _variant_t(short(NODE_ELEMENT)); }
    std::string file(const char* name) {
        std::ifstream in(root_ / name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void write(const char* name, const std::string& text) { std::ofstream(root_ / name, std::ios::binary) << text; }

    // What the module's XML helper does: declaration, optional stylesheet, empty root.
    void createXmlDoc(const wchar_t* path, const wchar_t* stylesheet, const wchar_t* rootName, const wchar_t* uri) {
        IXMLDOMDocumentPtr doc = newDoc();
        doc->insertBefore(doc->createProcessingInstruction(L"xml", L"version=\"1.0\" encoding=\"UTF-8\""), vtMissing);
        if (*stylesheet)
            doc->insertBefore(doc->createProcessingInstruction(
                                  L"xml-stylesheet", _bstr_t(L"type=\"text/xsl\" href=\"") + stylesheet + L"\""),
                              _variant_t());
        if (*uri)
            doc->appendChild(doc->createNode(element(), rootName, uri));
        else
            doc->appendChild(doc->createElement(rootName));
        doc->save(path);
    }

    fs::path root_;
};

} // namespace

TEST_F(DomTest, NamespacedDocumentWithStylesheetSavesAndLoadsBack) {
    createXmlDoc(L"C:\\log.xml", L"errorLog.xsl", L"errors", kNs);
    EXPECT_EQ(file("log.xml"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
              "<?xml-stylesheet type=\"text/xsl\" href=\"errorLog.xsl\"?>\r\n"
              "<errors xmlns=\"http://example.org/Ostrel\"/>\r\n");

    // Load, append elements made by a separate factory document, save, load again.
    IXMLDOMDocumentPtr doc = newDoc();
    ASSERT_EQ(doc->load(L"C:\\log.xml"), VARIANT_TRUE);
    IXMLDOMNodePtr rootNode = doc->selectNodes(L"/*")->Getitem(0);
    ASSERT_TRUE(rootNode);
    EXPECT_EQ(rootNode->GetnodeName(), _bstr_t(L"errors"));
    EXPECT_EQ(rootNode->GetnamespaceURI(), _bstr_t(kNs));
    {
        IXMLDOMDocumentPtr factory = newDoc();
        IXMLDOMNodePtr error = factory->createNode(element(), L"error", kNs);
        IXMLDOMNodePtr text = factory->createNode(element(), L"description", kNs);
        text->Puttext(L"Area 12 m\u00B2 <too> & \"big\"");
        error->appendChild(text);
        rootNode->appendChild(error);
    }
    doc->save(L"C:\\log.xml");
    EXPECT_EQ(file("log.xml"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
              "<?xml-stylesheet type=\"text/xsl\" href=\"errorLog.xsl\"?>\r\n"
              "<errors xmlns=\"http://example.org/Ostrel\"><error><description>Area 12 m\xC2\xB2 &lt;too&gt; &amp; "
              "\"big\"</description></error></errors>\r\n");

    IXMLDOMDocumentPtr again = newDoc();
    ASSERT_EQ(again->load(L"c:/LOG.xml"), VARIANT_TRUE);
    IXMLDOMNodeListPtr top = again->GetchildNodes();
    ASSERT_EQ(top->Getlength(), 3);
    EXPECT_EQ(top->Getitem(0)->GetnodeName(), _bstr_t(L"xml"));
    EXPECT_EQ(top->Getitem(1)->GetnodeName(), _bstr_t(L"xml-stylesheet"));
    EXPECT_EQ(top->Getitem(1)->GetnodeValue(), _variant_t(L"type=\"text/xsl\" href=\"errorLog.xsl\""));
    IXMLDOMNodePtr description = again->selectSingleNode(L"/errors/error/description");
    ASSERT_TRUE(description);
    EXPECT_EQ(description->Gettext().wstr(), L"Area 12 m\u00B2 <too> & \"big\"");
    EXPECT_EQ(description->GetnamespaceURI(), _bstr_t(kNs));
}

TEST_F(DomTest, PlainRootHasNoNamespaceDeclaration) {
    createXmlDoc(L"C:\\plain.xml", L"", L"graphicReport", L"");
    EXPECT_EQ(file("plain.xml"), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<graphicReport/>\r\n");
    // Creating over an existing file replaces its content.
    createXmlDoc(L"C:\\plain.xml", L"", L"other", L"");
    EXPECT_EQ(file("plain.xml"), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<other/>\r\n");
}

TEST_F(DomTest, NodeOutlivesItsReleasedDocumentAndMovesIntoAnother) {
    IXMLDOMNodePtr date;
    {
        IXMLDOMDocumentPtr factory = newDoc();
        date = factory->createNode(element(), L"date", kNs);
    } // the factory document is released here
    for (const wchar_t* field : {L"year", L"month"}) {
        IXMLDOMDocumentPtr factory = newDoc();
        IXMLDOMNodePtr child = factory->createNode(element(), field, kNs);
        child->Puttext(field[0] == L'y' ? L"2014" : L"3");
        date->appendChild(child);
    }
    EXPECT_EQ(date->GetchildNodes()->Getlength(), 2);

    IXMLDOMDocumentPtr target = newDoc();
    IXMLDOMNodePtr root = target->appendChild(target->createNode(element(), L"debugging", kNs));
    IXMLDOMNodePtr placed = root->appendChild(date);
    EXPECT_TRUE(placed == date);                                   // the same node, now in the target document
    date->appendChild(target->createNode(element(), L"day", kNs)); // still usable after the move
    IXMLDOMNodePtr year = date->GetfirstChild();
    date = nullptr;
    target = nullptr; // the handles on its nodes keep the content alive
    EXPECT_EQ(year->Gettext(), _bstr_t(L"2014"));
    EXPECT_EQ(year->GetparentNode()->GetparentNode()->GetnodeName(), _bstr_t(L"debugging"));
    IXMLDOMDocumentPtr owner = year->GetownerDocument();
    ASSERT_TRUE(owner);
    EXPECT_EQ(
        owner->Getxml().wstr(),
        L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<debugging xmlns=\"http://example.org/Ostrel\"><date><year>"
        L"2014</year><month>3</month><day/></date></debugging>\r\n");
}

TEST_F(DomTest, NamespacesAreDeclaredWhereTheyChange) {
    IXMLDOMDocumentPtr doc = newDoc();
    IXMLDOMNodePtr root = doc->appendChild(doc->createNode(element(), L"graphicReport", kNs));
    root->appendChild(doc->createNode(element(), L"layer", L"http://example.org/other"));
    root->appendChild(doc->createElement(L"plain"));
    root->appendChild(doc->createNode(element(), L"grTitle", kNs));
    EXPECT_EQ(doc->GetdocumentElement()->Getxml().wstr(),
              L"<graphicReport xmlns=\"http://example.org/Ostrel\"><layer xmlns=\"http://example.org/other\"/>"
              L"<plain xmlns=\"\"/><grTitle/></graphicReport>");
    // A node taken out keeps its namespace.
    IXMLDOMNodePtr title = root->removeChild(root->GetlastChild());
    doc = nullptr;
    root = nullptr;
    EXPECT_EQ(title->Getxml().wstr(), L"<grTitle xmlns=\"http://example.org/Ostrel\"/>");
    EXPECT_EQ(title->GetparentNode(), nullptr);
}

TEST_F(DomTest, WhitespaceBetweenElementsIsDropped) {
    write("ws.xml",
          "<?xml version=\"1.0\"?>\n<ostrelPreferences>\n  <server>\n    <dbTimeout> 30 </dbTimeout>\n"
          "    <empty></empty>\n  </server>\n  <kept xml:space=\"preserve\">  </kept>\n</ostrelPreferences>\n");
    IXMLDOMDocumentPtr doc = newDoc();
    ASSERT_EQ(doc->load(L"C:\\ws.xml"), VARIANT_TRUE);
    IXMLDOMElementPtr root = doc->GetdocumentElement();
    IXMLDOMNodeListPtr children = root->GetchildNodes();
    ASSERT_EQ(children->Getlength(), 2);
    IXMLDOMNodePtr server = children->Getitem(0);
    ASSERT_EQ(server->GetchildNodes()->Getlength(), 2);
    IXMLDOMNodePtr timeout = server->GetfirstChild();
    EXPECT_EQ(timeout->GetfirstChild()->GetnodeValue(), _variant_t(L" 30 "));
    EXPECT_EQ(timeout->GetnextSibling()->hasChildNodes(), VARIANT_FALSE);
    EXPECT_EQ(children->Getitem(1)->Gettext(), _bstr_t(L"  "));
    // Reading the value of an element without content fails as a null pointer.
    try {
        (void)timeout->GetnextSibling()->GetfirstChild()->GetnodeValue();
        FAIL() << "no exception";
    } catch (const _com_error& e) {
        EXPECT_EQ(e.Error(), E_POINTER);
    }
}

TEST_F(DomTest, MalformedAndMissingFilesKeepTheParseError) {
    write("bad.xml", "<?xml version=\"1.0\"?>\n<a>\n<b></a>\n");
    IXMLDOMDocumentPtr doc = newDoc();
    doc->appendChild(doc->createElement(L"old"));
    EXPECT_EQ(doc->load(L"C:\\bad.xml"), VARIANT_FALSE);
    IXMLDOMParseErrorPtr err = doc->GetparseError();
    EXPECT_NE(err->GeterrorCode(), 0);
    EXPECT_EQ(err->Getline(), 3);
    EXPECT_FALSE(err->Getreason().wstr().empty());
    EXPECT_EQ(err->GetsrcText(), _bstr_t(L"<b></a>"));
    EXPECT_EQ(doc->GetdocumentElement(), nullptr); // the old content is gone
    EXPECT_EQ(doc->selectSingleNode(L"/*"), nullptr);

    EXPECT_EQ(doc->load(L"C:\\nothing.xml"), VARIANT_FALSE);
    EXPECT_EQ(doc->GetparseError()->Getreason(), _bstr_t(L"The system cannot locate the object specified.\r\n"));
    EXPECT_EQ(doc->load(L"Q:\\nothing.xml"), VARIANT_FALSE);

    write("good.xml", "<r/>");
    EXPECT_EQ(doc->load(L"C:\\good.xml"), VARIANT_TRUE);
    EXPECT_EQ(doc->GetparseError()->GeterrorCode(), 0);
    EXPECT_EQ(doc->GetchildNodes()->Getlength(), 1); // no declaration in the file, none shown
}

TEST_F(DomTest, DocumentsThatDeclareEntitiesOrNestTooDeeplyAreRefusedInPlainWords) {
    struct Case {
        std::string name;
        std::string text;
        std::wstring reason;
        long line;
    };
    // One entity of 5,000 characters used 4,000 times: a small file that would grow a thousandfold.
    std::string uses;
    for (int i = 0; i < 4000; ++i) uses += "&e;";
    std::string deep;
    for (int i = 0; i < 300; ++i) deep += "<a>";
    for (int i = 0; i < 300; ++i) deep += "</a>";
    const Case cases[] = {
        {"grown.xml",
         "<?xml version=\"1.0\"?>\n<!DOCTYPE r [\n<!ENTITY e \"" + std::string(5000, 'x') + "\">\n]>\n<r>" + uses +
             "</r>",
         L"The document declares the entity 'e': documents that declare entities are not read.\r\n", 3},
        {"unused.xml", "<!DOCTYPE r [<!ENTITY name \"x\">]><r/>",
         L"The document declares the entity 'name': documents that declare entities are not read.\r\n", 1},
        {"parameter.xml", "<!DOCTYPE r [<!ENTITY % p \"<!ENTITY q 'y'>\">]><r/>",
         L"The document declares the entity 'p': documents that declare entities are not read.\r\n", 1},
        {"deep.xml", deep, L"The document nests elements more deeply than a document may (256 levels).\r\n", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        write(c.name.c_str(), c.text);
        IXMLDOMDocumentPtr doc = newDoc();
        EXPECT_EQ(doc->load(_variant_t((L"C:\\" + std::wstring(c.name.begin(), c.name.end())).c_str())), VARIANT_FALSE);
        EXPECT_EQ(doc->GetparseError()->Getreason().wstr(), c.reason);
        EXPECT_EQ(doc->GetparseError()->Getline(), c.line);
        EXPECT_EQ(doc->selectSingleNode(L"/*"), nullptr);
        EXPECT_EQ(doc->loadXML(_bstr_t(std::wstring(c.text.begin(), c.text.end()).c_str())), VARIANT_FALSE);
    }
    // A document type that declares no entity is read as before, and so are the five predefined ones.
    IXMLDOMDocumentPtr doc = newDoc();
    EXPECT_EQ(doc->loadXML(L"<!DOCTYPE r [<!ELEMENT r ANY>]><r>&lt;&amp;&gt;</r>"), VARIANT_TRUE);
    EXPECT_EQ(doc->selectSingleNode(L"/*")->Gettext(), _bstr_t(L"<&>"));
}

TEST_F(DomTest, ChildOperationsAndPaths) {
    IXMLDOMDocumentPtr doc = newDoc();
    ASSERT_EQ(doc->loadXML(L"<r><a>1</a><b>2</b><a>3</a></r>"), VARIANT_TRUE);
    IXMLDOMNodePtr r = doc->GetdocumentElement();
    EXPECT_EQ(doc->selectNodes(L"/r/a")->Getlength(), 2);
    EXPECT_EQ(r->selectNodes(L"a")->Getitem(1)->Gettext(), _bstr_t(L"3"));
    EXPECT_EQ(r->selectNodes(L"*")->Getlength(), 3);
    EXPECT_EQ(r->selectSingleNode(L"b/..")->GetnodeName(), _bstr_t(L"r"));
    EXPECT_EQ(r->selectSingleNode(L"c"), nullptr);
    EXPECT_THROW(r->selectNodes(L"//a"), _com_error);
    EXPECT_THROW(r->selectNodes(L"a[1]"), _com_error);

    IXMLDOMNodePtr b = r->selectSingleNode(L"b");
    IXMLDOMNodePtr first = r->GetfirstChild();
    r->insertBefore(b, _variant_t(static_cast<IDispatch*>(first)));
    r->insertBefore(doc->createTextNode(L"t"), _variant_t()); // null reference: appended
    EXPECT_EQ(r->Getxml(), _bstr_t(L"<r><b>2</b><a>1</a><a>3</a>t</r>"));
    r->removeChild(first);
    EXPECT_EQ(r->Getxml(), _bstr_t(L"<r><b>2</b><a>3</a>t</r>"));
    EXPECT_EQ(first->Gettext(), _bstr_t(L"1")); // the removed node is still whole

    EXPECT_THROW(b->appendChild(r), _com_error);                               // a node under its own descendant
    EXPECT_THROW(r->removeChild(first), _com_error);                           // not a child any more
    EXPECT_THROW(doc->appendChild(doc->createElement(L"second")), _com_error); // one root only
    EXPECT_THROW(doc->createElement(L"bad name"), _com_error);
    EXPECT_TRUE(r->GetfirstChild() == r->GetfirstChild()); // one handle object per node

    r->Puttext(L"");
    EXPECT_EQ(r->hasChildNodes(), VARIANT_FALSE);
    EXPECT_EQ(b->GetparentNode(), nullptr); // replaced children are detached, not destroyed
}

TEST_F(DomTest, AttributesAndRawForms) {
    IXMLDOMDocumentPtr doc = newDoc();
    IXMLDOMElementPtr e = doc->createElement(L"layer");
    e->setAttribute(L"name", L"A-WALL");
    e->setAttribute(L"on", 1L);
    e->setAttribute(L"name", L"A&B");
    EXPECT_EQ(e->getAttribute(L"name"), _variant_t(L"A&B"));
    EXPECT_EQ(e->getAttribute(L"missing").vt, VT_NULL);
    IXMLDOMNamedNodeMapPtr attrs = e->Getattributes();
    ASSERT_EQ(attrs->Getlength(), 2);
    EXPECT_EQ(attrs->getNamedItem(L"on")->GetnodeValue(), _variant_t(L"1"));
    EXPECT_EQ(e->Getxml(), _bstr_t(L"<layer name=\"A&amp;B\" on=\"1\"/>"));
    e->removeAttribute(L"on");
    EXPECT_EQ(attrs->Getitem(1)->GetnodeName(), _bstr_t(L"on")); // a held attribute survives removal
    EXPECT_EQ(e->Getattributes()->Getlength(), 1);
    EXPECT_EQ(e->Getattributes()->Getitem(0)->Getxml(), _bstr_t(L"name=\"A&amp;B\""));

    BSTR name = nullptr;
    ASSERT_EQ(e->get_nodeName(&name), S_OK);
    EXPECT_STREQ(name, L"layer");
    SysFreeString(name);
    ASSERT_EQ(e->put_text(const_cast<BSTR>(L"x")), S_OK);
    BSTR text = nullptr;
    ASSERT_EQ(e->get_text(&text), S_OK);
    EXPECT_STREQ(text, L"x");
    SysFreeString(text);
}

TEST_F(DomTest, SaveFailuresThrowAndLeaveTheOldFile) {
    IXMLDOMDocumentPtr doc = newDoc();
    doc->appendChild(doc->createElement(L"r"));
    EXPECT_THROW(doc->save(L"D:\\x.xml"), _com_error);
    try {
        doc->save(L"C:\\missing\\x.xml");
        FAIL() << "no exception";
    } catch (const _com_error& e) {
        EXPECT_EQ(e.Error(), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
        EXPECT_TRUE(e.HasErrorInfo());
    }
    IXMLDOMDocumentPtr unknown;
    EXPECT_EQ(unknown.CreateInstance(L"No.Such.Class"), REGDB_E_CLASSNOTREG);
    EXPECT_THROW(unknown->GetdocumentElement(), _com_error); // a null document fails as a COM error
}

TEST_F(DomTest, PrefixedNodesLeaveLoadedDocumentsWhole) {
    IXMLDOMNodePtr b;
    {
        IXMLDOMDocumentPtr doc = newDoc();
        ASSERT_EQ(doc->loadXML(L"<p:r xmlns:p=\"urn:p\"><p:a><p:b x=\"1\"/></p:a></p:r>"), VARIANT_TRUE);
        IXMLDOMNodePtr r = doc->GetdocumentElement();
        IXMLDOMNodePtr a = r->GetfirstChild();
        b = a->GetfirstChild();
        r->removeChild(a); // "a" leaves; the document and "r" go when this block ends
    }
    EXPECT_EQ(b->GetnodeName(), _bstr_t(L"p:b"));
    EXPECT_EQ(b->GetparentNode()->Getxml().wstr(), L"<p:a xmlns:p=\"urn:p\"><p:b x=\"1\"/></p:a>");
    IXMLDOMDocumentPtr target = newDoc();
    target->loadXML(L"<p:top xmlns:p=\"urn:p\"/>");
    target->GetdocumentElement()->appendChild(b); // "a" is now held by nobody and goes
    EXPECT_EQ(target->GetdocumentElement()->Getxml().wstr(), L"<p:top xmlns:p=\"urn:p\"><p:b x=\"1\"/></p:top>");
    IXMLDOMNodePtr copy = b->cloneNode(VARIANT_TRUE);
    target = nullptr;
    b = nullptr;
    EXPECT_EQ(copy->Getxml().wstr(), L"<p:b xmlns:p=\"urn:p\" x=\"1\"/>");
}

TEST_F(DomTest, EightBitFilesLoadAndSaveAsUtf8) {
    write("legacy.xml", "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<r>m\xB2</r>\r\n");
    IXMLDOMDocumentPtr doc = newDoc();
    ASSERT_EQ(doc->load(L"C:\\legacy.xml"), VARIANT_TRUE) << doc->GetparseError()->Getreason().wstr().size();
    EXPECT_EQ(doc->GetdocumentElement()->Gettext().wstr(), L"m\u00B2");
    EXPECT_EQ(doc->GetfirstChild()->GetnodeValue(), _variant_t(L"version=\"1.0\" encoding=\"windows-1252\""));
    doc->save(L"C:\\legacy.xml");
    EXPECT_EQ(file("legacy.xml"), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<r>m\xC2\xB2</r>\r\n");
}

TEST_F(DomTest, ReloadingKeepsOldHandlesUsable) {
    IXMLDOMDocumentPtr doc = newDoc();
    ASSERT_EQ(doc->loadXML(L"<first><a/></first>"), VARIANT_TRUE);
    IXMLDOMNodePtr a = doc->selectSingleNode(L"/first/a");
    ASSERT_EQ(doc->loadXML(L"<second/>"), VARIANT_TRUE);
    EXPECT_EQ(doc->GetdocumentElement()->GetnodeName(), _bstr_t(L"second"));
    EXPECT_EQ(a->GetparentNode()->GetnodeName(), _bstr_t(L"first")); // the old tree is still whole
    IXMLDOMDocumentPtr oldOwner = a->GetownerDocument();
    EXPECT_FALSE(oldOwner == doc);
    doc->GetdocumentElement()->appendChild(a); // and its nodes can move into the new one
    EXPECT_EQ(doc->GetdocumentElement()->Getxml(), _bstr_t(L"<second><a/></second>"));
    EXPECT_EQ(oldOwner->GetdocumentElement()->hasChildNodes(), VARIANT_FALSE);
}

TEST_F(DomTest, PreservedWhitespaceCommentsAndInstructions) {
    IXMLDOMDocumentPtr doc = newDoc();
    doc->PutpreserveWhiteSpace(VARIANT_TRUE);
    ASSERT_EQ(doc->loadXML(L"<!-- made by hand --><r>\n  <a/>\n</r>"), VARIANT_TRUE);
    IXMLDOMNodeListPtr top = doc->GetchildNodes();
    ASSERT_EQ(top->Getlength(), 2);
    EXPECT_EQ(top->Getitem(0)->GetnodeType(), NODE_COMMENT);
    EXPECT_EQ(top->Getitem(0)->GetnodeName(), _bstr_t(L"#comment"));
    EXPECT_EQ(doc->GetdocumentElement()->GetchildNodes()->Getlength(), 3);
    EXPECT_EQ(doc->GetdocumentElement()->GetfirstChild()->GetnodeName(), _bstr_t(L"#text"));
    EXPECT_EQ(doc->GetnodeName(), _bstr_t(L"#document"));
    EXPECT_EQ(doc->GetnodeType(), NODE_DOCUMENT);
    EXPECT_EQ(doc->GetnodeValue().vt, VT_NULL);

    IXMLDOMProcessingInstructionPtr pi = doc->createProcessingInstruction(L"xml-stylesheet", L"href=\"a.xsl\"");
    doc->insertBefore(pi, _variant_t(static_cast<IDispatch*>(doc->GetdocumentElement())));
    pi->Putdata(L"type=\"text/xsl\" href=\"b.xsl\"");
    EXPECT_EQ(pi->Gettarget(), _bstr_t(L"xml-stylesheet"));
    EXPECT_EQ(
        doc->Getxml().wstr(),
        L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<!-- made by hand -->\r\n<?xml-stylesheet type=\"text/xsl\" "
        L"href=\"b.xsl\"?>\r\n<r>\n  <a/>\n</r>\r\n");
}

TEST_F(DomTest, ListsAndReplacements) {
    IXMLDOMDocumentPtr doc = newDoc();
    ASSERT_EQ(doc->loadXML(L"<r><a/><b/><c/></r>"), VARIANT_TRUE);
    IXMLDOMNodePtr r = doc->GetdocumentElement();
    IXMLDOMNodeListPtr list = r->GetchildNodes();
    std::wstring names;
    while (IXMLDOMNodePtr n = list->nextNode()) names += n->GetnodeName().wstr();
    EXPECT_EQ(names, L"abc");
    list->reset();
    EXPECT_EQ(list->nextNode()->GetnodeName(), _bstr_t(L"a"));
    EXPECT_EQ(list->Getitem(3), nullptr);
    EXPECT_EQ(list->Getitem(-1), nullptr);
    IXMLDOMNode* raw = nullptr;
    EXPECT_EQ(list->get_item(9, &raw), S_FALSE);
    EXPECT_EQ(raw, nullptr);

    IXMLDOMNodePtr b = r->selectSingleNode(L"b");
    IXMLDOMNodePtr old = r->replaceChild(doc->createElement(L"x"), b);
    EXPECT_TRUE(old == b);
    EXPECT_EQ(r->Getxml(), _bstr_t(L"<r><a/><x/><c/></r>"));
    EXPECT_EQ(list->Getitem(1)->GetnodeName(), _bstr_t(L"b")); // a list is a snapshot
    IXMLDOMNodePtr stranger = doc->createElement(L"s");
    EXPECT_THROW(r->insertBefore(doc->createElement(L"y"), _variant_t(static_cast<IDispatch*>(stranger))), _com_error);
    EXPECT_THROW(r->appendChild(nullptr), _com_error);
}

TEST_F(DomTest, UniversalTimeElementKeepsFieldOrder) {
    // The date element the module's logs carry: six children in a fixed order.
    IXMLDOMDocumentPtr factory = newDoc();
    IXMLDOMNodePtr date = factory->createNode(element(), L"date", kNs);
    const wchar_t* names[] = {L"year", L"month", L"day", L"hour", L"minute", L"second"};
    const wchar_t* values[] = {L"2014", L"3", L"5", L"9", L"7", L"3"};
    for (int i = 0; i < 6; ++i) {
        IXMLDOMNodePtr field = factory->createNode(element(), names[i], kNs);
        field->Puttext(values[i]);
        date->appendChild(field);
    }
    factory = nullptr;
    IXMLDOMNodeListPtr fields = date->GetchildNodes();
    ASSERT_EQ(fields->Getlength(), 6);
    for (long i = 0; i < 6; ++i) {
        EXPECT_EQ(fields->Getitem(i)->GetnodeName(), _bstr_t(names[i]));
        EXPECT_EQ(fields->Getitem(i)->Gettext(), _bstr_t(values[i]));
    }
    EXPECT_EQ(date->Getxml().wstr(),
              L"<date xmlns=\"http://example.org/Ostrel\"><year>2014</year><month>3</month><day>5</day><hour>9</hour>"
              L"<minute>7</minute><second>3</second></date>");
    // The same name in two namespaces gives two different kinds of element.
    IXMLDOMDocumentPtr doc = newDoc();
    IXMLDOMNodePtr one = doc->createNode(element(), L"name", L"urn:one");
    IXMLDOMNodePtr two = doc->createNode(element(), L"name", L"urn:two");
    EXPECT_EQ(one->GetnodeName(), two->GetnodeName());
    EXPECT_NE(one->GetnamespaceURI(), two->GetnamespaceURI());
}

TEST_F(DomTest, ReadOnlyTargetIsRefused) {
    write("ro.xml", "<old/>");
    fs::permissions(root_ / "ro.xml", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    IXMLDOMDocumentPtr doc = newDoc();
    doc->appendChild(doc->createElement(L"new"));
    try {
        doc->save(L"C:\\ro.xml");
        FAIL() << "no exception";
    } catch (const _com_error& e) {
        EXPECT_EQ(e.Error(), E_ACCESSDENIED);
    }
    EXPECT_EQ(file("ro.xml"), "<old/>");
}

TEST_F(DomTest, RemovedPrefixedAttributeOutlivesItsElement) {
    IXMLDOMDocumentPtr doc = newDoc();
    ASSERT_EQ(doc->loadXML(L"<r xmlns:p=\"urn:p\" p:x=\"1\" y=\"2\"/>"), VARIANT_TRUE);
    IXMLDOMElementPtr r = doc->GetdocumentElement();
    IXMLDOMNodePtr x = r->Getattributes()->getNamedItem(L"p:x");
    ASSERT_TRUE(x);
    r->removeAttribute(L"p:x");
    r = nullptr;
    doc = nullptr;
    EXPECT_EQ(x->GetnodeValue(), _variant_t(L"1"));
    EXPECT_EQ(r, nullptr);
}
