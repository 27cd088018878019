// Feeds arbitrary bytes to the markup parser in both byte encodings and checks that whatever it
// accepts is a well-formed tree.
#include "duilib/MarkupParser.h"

#include <cstdint>
#include <cstdlib>

namespace {

void CheckTree(const dui::XmlDocument& doc) {
    const int count = static_cast<int>(doc.elements.size());
    for (int i = 0; i < count; ++i) {
        const dui::XmlElement& e = doc.elements[i];
        // Links point inside the document and forward in document order: no cycles.
        if (e.parent >= i || e.parent < -1) abort();
        if (e.firstChild != -1 && (e.firstChild <= i || e.firstChild >= count)) abort();
        if (e.nextSibling != -1 && (e.nextSibling <= i || e.nextSibling >= count)) abort();
        if (e.firstChild != -1 && doc.elements[e.firstChild].parent != i) abort();
        if (e.name.empty()) abort();
        if (e.attributes.size() > dui::kMaxXmlAttributes) abort();
    }
    if (count > 0 && doc.elements[0].parent != -1) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    dui::XmlDocument doc;
    if (dui::ParseXml(data, size, dui::XmlEncoding::Utf8, doc)) CheckTree(doc);
    else if (!doc.elements.empty()) abort();
    dui::XmlDocument wide;
    if (dui::ParseXml(data, size, dui::XmlEncoding::Utf16LE, wide)) CheckTree(wide);
    return 0;
}
