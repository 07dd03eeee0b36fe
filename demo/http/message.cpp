#include "demo/http/message.h"

#include <algorithm>
#include <cctype>

#include "demo/http/http_support.h"

namespace yhz::web {

namespace {

// Calls `visit(name, value)` for every parameter of the target's query.
template <typename Visit>
void eachQueryParameter(std::string_view target, Visit visit) {
    const std::size_t mark = target.find('?');
    if (mark == std::string_view::npos)
        return;
    for (const FieldPiece& piece : splitFields(target.substr(mark + 1))) {
        visit(decodeLenient(piece.name, true),
              piece.value ? decodeLenient(*piece.value, true) : std::string());
    }
}

}  // namespace

bool sameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string Request::header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (sameText(key, name))
            return value;
    }
    return {};
}

std::size_t Request::queryCount(std::string_view name) const {
    std::size_t n = 0;
    eachQueryParameter(target, [&](const std::string& key, const std::string&) {
        if (key == name)
            ++n;
    });
    return n;
}

std::string Request::queryValue(std::string_view name) const {
    std::string found;
    bool seen = false;
    eachQueryParameter(target, [&](const std::string& key, const std::string& value) {
        if (!seen && key == name) {
            found = value;
            seen = true;
        }
    });
    return found;
}

void Response::setHeader(std::string_view name, std::string value) {
    std::erase_if(headers, [&](const auto& field) { return sameText(field.first, name); });
    headers.emplace_back(std::string(name), std::move(value));
}

const std::string* Response::header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (sameText(key, name))
            return &value;
    }
    return nullptr;
}

void Response::setContent(std::string content, std::string contentType) {
    body = std::move(content);
    file.reset();
    setHeader("Content-Type", std::move(contentType));
}

void Response::setFile(FileSlice slice, std::string contentType) {
    body.clear();
    file = std::make_shared<FileSlice>(std::move(slice));
    setHeader("Content-Type", std::move(contentType));
}

void Response::redirect(std::string location) {
    status = 302;
    setHeader("Location", std::move(location));
}

void Response::defer(std::chrono::milliseconds delay, std::function<void(Response&)> then) {
    deferred = std::make_shared<Deferred>(Deferred{delay, std::move(then)});
}

}  // namespace yhz::web
