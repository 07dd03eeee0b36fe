#pragma once
// The JSON reader: holds one JSON value and answers queries by member path
// (totalCount, content[3].subhd, [2]) with texts, numbers, counts and new
// readers. Texts in and out are GBK; the value is kept as UTF-8 inside.
// Nothing here throws: what cannot be evaluated answers "", 0, false or -1.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace yhz {

class ScriptJson {
public:
    // Type codes of `typeOf`.
    static constexpr int kNull = 0;  // null, or no such member
    static constexpr int kBoolean = 1;
    static constexpr int kNumber = 2;
    static constexpr int kObject = 4;
    static constexpr int kArray = 5;
    static constexpr int kString = 6;
    static constexpr int kOther = -1;  // a function, or a path that cannot be evaluated

    // Deeper values are refused: a reply nested this deep is not data.
    static constexpr int kMaxDepth = 512;

    // A new reader holds the empty object.
    ScriptJson();
    ~ScriptJson();
    ScriptJson(ScriptJson&&) noexcept;
    ScriptJson& operator=(ScriptJson&&) noexcept;
    ScriptJson(const ScriptJson&) = delete;
    ScriptJson& operator=(const ScriptJson&) = delete;

    // A second reader on the same value: a change through either shows in both.
    ScriptJson copy() const;

    // True for an object, array, string, number or boolean; false for null, an
    // empty text and anything that is not JSON, after which the reader holds
    // no value.
    bool parse(std::string_view text);
    // Compact JSON of the value; "" when there is none.
    std::string toJson() const;

    // With `raw` the value is JSON text ("" stands for {}); otherwise it is
    // stored as a string.
    void setMember(std::string_view path, std::string_view value, bool raw = false);
    // Stores JSON text at the path; an empty text removes the member.
    void setMemberJson(std::string_view path, std::string_view json);
    // Stores the number as "%.13g" reads back.
    void setNumber(std::string_view path, double number);
    double getNumber(std::string_view path) const;
    std::string getMemberJson(std::string_view path) const;
    // A string as its text, a number as "%.13g"; with `asJson` the compact
    // JSON of the value. "" for null and for a path that names nothing.
    std::string getText(std::string_view path, bool asJson = false) const;
    // An independent copy of the value at the path; a reader holding no value
    // when there is none.
    ScriptJson getObject(std::string_view path) const;
    // Elements of an array, members of an object; -2 for a missing member of an
    // existing value, 0 for a path that cannot be evaluated.
    long count(std::string_view path) const;
    // Makes the value at the path an array if it is not one and appends.
    void push(std::string_view value, std::string_view path = {}, bool raw = false);
    ScriptJson elementObject(long index, std::string_view path = {}) const;
    std::string elementText(long index, std::string_view path = {}, bool asJson = false) const;
    void setElement(long index, std::string_view value, bool raw = false);
    void removeElement(long index);
    // Removes the element named like list[3].
    void removeAt(std::string_view pathWithIndex);
    // kNull or kObject: the empty object; kArray: the empty array.
    void reset(int typeCode);
    void setRoot(std::string_view value, bool raw = false);
    bool has(std::string_view path) const;
    // Member names (array indices) in order into `list`; returns their number.
    long keys(std::vector<std::string>& list, std::string_view path = {}) const;
    int typeOf(std::string_view path) const;
    void clear();

private:
    struct State;
    explicit ScriptJson(std::shared_ptr<State> state);
    std::shared_ptr<State> state_;
};

}  // namespace yhz
