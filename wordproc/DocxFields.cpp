// Word 2007+ fields: simple ones, and complex ones in begin, separate and end marks, nested; legacy form
// fields' shown values.

#include "wordproc/DocxPrivate.h"
#include "wordproc/RtfReader.h"

namespace wordproc::docx {

void Reader::fieldChar(StoryState& st, const QString& type, int format, const Node* formData) {
    if (type == QLatin1String("begin")) {
        if (st.ignoredFields > 0 || st.fields.size() >= size_t(kMaxFieldDepth)) {
            ++st.ignoredFields;
            return;
        }
        OpenField f;
        f.field.codeFormat = format;
        f.formData = formData;
        st.fields.push_back(std::move(f));
    } else if (type == QLatin1String("separate")) {
        if (st.ignoredFields == 0 && !st.fields.empty())
            st.fields.back().inResult = true;
    } else if (type == QLatin1String("end")) {
        if (st.ignoredFields > 0)
            --st.ignoredFields;
        else if (!st.fields.empty())
            endField(st);
    }
}

void Reader::endField(StoryState& st) {
    OpenField open = std::move(st.fields.back());
    st.fields.pop_back();
    Field& f = open.field;
    parseFieldInstruction(f);
    if (f.kind == Field::Other && open.formData)
        if (const Node* list = open.formData->child(u"w:ddList"))
            dropDownResult(*list, f);
    if (f.kind == Field::Other) {
        // A field this program does not evaluate shows what Word last showed for it.
        for (Run& r : f.result)
            if (r.kind == Run::Text)
                addText(st, r.text, r.format);
            else
                addRun(st, std::move(r));
        return;
    }
    // A field inside another's code only helps compute that code, which this program does not do.
    if (!target(st))
        return;
    const int format = f.codeFormat;
    m_t.fields.push_back(std::move(f));
    addRun(st, Run{Run::Field, format, int(m_t.fields.size() - 1), {}});
}

// A drop-down form field shows the entry chosen, else its default, else its first; Word stores no result
// for it.
void Reader::dropDownResult(const Node& list, Field& f) {
    std::vector<const Node*> entries;
    for (const Node& c : list.children)
        if (c.name == QLatin1String("w:listEntry"))
            entries.push_back(&c);
    if (entries.empty())
        return;
    const Node* chosen = list.child(u"w:result");
    if (!chosen)
        chosen = list.child(u"w:default");
    const int index = chosen ? intAttr(*chosen, u"w:val") : 0;
    if (index < 0 || size_t(index) >= entries.size())
        return;
    const int format = !f.result.empty() ? f.result.front().format : f.codeFormat;
    f.result.assign(1, Run{Run::Text, format, -1, entries[size_t(index)]->attr(u"w:val")});
}

// A field left without its end: its result stays as plain text.
void Reader::dropField(StoryState& st) {
    OpenField open = std::move(st.fields.back());
    st.fields.pop_back();
    for (Run& r : open.field.result)
        addRun(st, std::move(r));
}

void Reader::simpleField(const Node& f, StoryState& st, const CharProps& base) {
    if (st.ignoredFields > 0 || st.fields.size() >= size_t(kMaxFieldDepth)) {
        inlines(f, st, base);
        return;
    }
    OpenField open;
    open.field.instruction = f.attr(u"w:instr");
    open.inResult = true;
    const Node* firstRun = f.child(u"w:r");
    open.field.codeFormat = format(runProps(base, firstRun ? firstRun->child(u"w:rPr") : nullptr).format);
    const size_t depth = st.fields.size();
    st.fields.push_back(std::move(open));
    inlines(f, st, base);
    while (st.fields.size() > depth + 1)
        dropField(st);
    if (st.fields.size() == depth + 1)
        endField(st);
}

} // namespace wordproc::docx
