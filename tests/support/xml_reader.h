// A small XML reader for the tests: enough to check that a document (the
// timeline chart's SVG) is well-formed and to find its elements by their
// attributes.
#pragma once

#include <cctype>
#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct Element {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::string text;  // the character data directly inside
    std::vector<Element> children;

    std::string operator[](const std::string& key) const
    {
        auto it = attributes.find(key);
        return it == attributes.end() ? "" : it->second;
    }
    void collect(const std::function<bool(const Element&)>& wanted, std::vector<const Element*>& out) const
    {
        if (wanted(*this))
            out.push_back(this);
        for (const Element& child : children)
            child.collect(wanted, out);
    }
};

class XmlReader {
public:
    explicit XmlReader(const std::string& text) : s_(text) {}

    // The root element; *error says what broke the document.
    bool read(Element& root, std::string* error)
    {
        try {
            skipSpace();
            if (s_.compare(at_, 5, "<?xml") == 0)
                at_ = need(s_.find("?>", at_)) + 2;
            skipSpace();
            element(root);
            skipSpace();
            if (at_ != s_.size())
                fail("text after the root element");
            return true;
        } catch (const std::string& what) {
            *error = what + " at byte " + std::to_string(at_);
            return false;
        }
    }

private:
    const std::string& s_;
    size_t at_ = 0;

    [[noreturn]] void fail(const std::string& what) { throw what; }
    size_t need(size_t position)
    {
        if (position == std::string::npos)
            fail("unexpected end");
        return position;
    }
    void skipSpace()
    {
        while (at_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[at_])))
            ++at_;
    }
    std::string name()
    {
        const size_t from = at_;
        while (at_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[at_])) || s_[at_] == '-' ||
                                   s_[at_] == ':' || s_[at_] == '_' || s_[at_] == '.'))
            ++at_;
        if (at_ == from)
            fail("a name expected");
        return s_.substr(from, at_ - from);
    }
    std::string decode(const std::string& raw)
    {
        std::string out;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '<')
                fail("'<' in text");
            if (raw[i] != '&') {
                out += raw[i];
                continue;
            }
            const size_t end = raw.find(';', i);
            if (end == std::string::npos)
                fail("unterminated entity");
            const std::string entity = raw.substr(i + 1, end - i - 1);
            static const std::map<std::string, char> known = {
                {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
            auto it = known.find(entity);
            if (it == known.end())
                fail("unknown entity &" + entity + ";");
            out += it->second;
            i = end;
        }
        return out;
    }
    void element(Element& e)
    {
        if (at_ >= s_.size() || s_[at_] != '<')
            fail("'<' expected");
        ++at_;
        e.name = name();
        for (;;) {
            skipSpace();
            if (s_.compare(at_, 2, "/>") == 0) {
                at_ += 2;
                return;
            }
            if (at_ < s_.size() && s_[at_] == '>') {
                ++at_;
                break;
            }
            const std::string key = name();
            skipSpace();
            if (at_ >= s_.size() || s_[at_] != '=')
                fail("'=' expected after " + key);
            ++at_;
            skipSpace();
            if (at_ >= s_.size() || s_[at_] != '"')
                fail("a quoted value expected for " + key);
            const size_t end = need(s_.find('"', at_ + 1));
            if (e.attributes.count(key))
                fail("attribute " + key + " twice");
            e.attributes[key] = decode(s_.substr(at_ + 1, end - at_ - 1));
            at_ = end + 1;
        }
        for (;;) {
            const size_t lt = need(s_.find('<', at_));
            e.text += decode(s_.substr(at_, lt - at_));
            at_ = lt;
            if (s_.compare(at_, 2, "</") == 0) {
                at_ += 2;
                if (name() != e.name)
                    fail("</" + e.name + "> expected");
                skipSpace();
                if (at_ >= s_.size() || s_[at_] != '>')
                    fail("'>' expected");
                ++at_;
                return;
            }
            e.children.emplace_back();
            element(e.children.back());
        }
    }
};
