#pragma once

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

// An event with several listeners: the game controller tells every view
// that shows it (the main window, the record window, the chat) what
// changed. Add returns a number that Remove takes; a view removes its
// handlers before it goes. A handler removed while the event is being
// raised is not called afterwards; one added meanwhile waits for the next
// raise.
template <typename... Args> class TEventList {
public:
    using THandler = std::function<void(Args...)>;

    int Add(THandler handler) {
        handlers_.emplace_back(++lastId_, std::move(handler));
        return lastId_;
    }
    void Remove(int id) {
        std::erase_if(handlers_, [id](const auto& entry) { return entry.first == id; });
    }
    bool Empty() const { return handlers_.empty(); }

    void operator()(Args... args) const {
        std::vector<int> ids;
        ids.reserve(handlers_.size());
        for (const auto& entry : handlers_)
            ids.push_back(entry.first);
        for (const int id : ids) {
            const auto it = std::find_if(handlers_.begin(), handlers_.end(),
                                         [id](const auto& entry) { return entry.first == id; });
            if (it == handlers_.end()) continue;
            const THandler handler = it->second; // the handler may remove itself
            handler(args...);
        }
    }

private:
    std::vector<std::pair<int, THandler>> handlers_;
    int lastId_ = 0;
};
