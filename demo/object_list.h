// The one container of the system: a doubly linked list of untyped items with
// optional string tags, one cursor, owning or borrowing.
#pragma once

#include <cstdint>

// 4 characters and a terminator; "AAAA" when the data carries no tag.
struct ObjectTag {
    char text[5] = {'A', 'A', 'A', 'A', 0};
    const char* c_str() const { return text; }
    bool empty() const { return text[0] == 0; }
};

class ObjectList {
public:
    using Deleter = void (*)(void* item);

    explicit ObjectList(bool owning);
    // A borrowing list without deleter holding the same items and tags; walks
    // the source with the source's own cursor, which ends up cleared.
    ObjectList(ObjectList& source);
    ObjectList(const ObjectList&) = delete;
    ObjectList& operator=(const ObjectList&) = delete;
    virtual ~ObjectList();

    int32_t append(const char* tag, void* item);
    int32_t add(void* item) { return append(nullptr, item); }
    bool insert(const char* afterTag, const char* tag, void* item);
    void* find(const char* tag);
    void* findItem(const void* item);
    void* first();
    void* next();
    void* prev();
    void* current() const;
    const char* currentTag() const;
    bool remove(void* item);

    int32_t count() const { return count_; }
    bool owning() const { return owning_; }

    Deleter deleter = nullptr;

private:
    struct Node {
        void* item = nullptr;
        char* tag = nullptr;
        Node* next = nullptr;
        Node* prev = nullptr;
    };

    Node* newNode(const char* tag, void* item);
    void dispose(Node* node);

    bool owning_;
    int32_t count_ = 0;
    Node head_;             // sentinel: head_.next is the first node, item none
    Node* last_ = &head_;   // the head itself while the list is empty
    Node* cursor_ = nullptr;
};
