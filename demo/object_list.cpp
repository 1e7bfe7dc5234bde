#include "demo/object_list.h"

#include <new>
#include <cstring>

ObjectList::ObjectList(bool owning) : owning_(owning) {}

ObjectList::ObjectList(ObjectList& source) : owning_(false)
{
    for (void* item = source.first(); source.cursor_; item = source.next())
        append(source.currentTag(), item);
}

ObjectList::~ObjectList()
{
    Node* node = head_.next;
    while (node) {
        Node* following = node->next;
        dispose(node);
        node = following;
    }
}

ObjectList::Node* ObjectList::newNode(const char* tag, void* item)
{
    Node* node = new Node;
    node->item = item;
    if (tag) {
        size_t n = std::strlen(tag) + 1;
        node->tag = new char[n];
        std::memcpy(node->tag, tag, n);
    }
    return node;
}

void ObjectList::dispose(Node* node)
{
    if (owning_) {
        if (deleter)
            deleter(node->item);
        else
            ::operator delete(node->item);  // memory only, no destructor
    }
    delete[] node->tag;
    delete node;
}

int32_t ObjectList::append(const char* tag, void* item)
{
    Node* node = newNode(tag, item);
    node->prev = last_;
    last_->next = node;
    last_ = node;
    return ++count_;
}

bool ObjectList::insert(const char* afterTag, const char* tag, void* item)
{
    if (!afterTag) {
        if (!head_.next) {
            append(tag, item);
            return true;
        }
        Node* node = newNode(tag, item);
        node->next = head_.next;
        node->prev = &head_;
        head_.next->prev = node;
        head_.next = node;
        ++count_;
        return true;
    }
    if (!find(afterTag))
        return false;
    Node* after = cursor_;
    if (after == last_) {
        append(tag, item);
        return true;
    }
    Node* node = newNode(tag, item);
    node->prev = after;
    node->next = after->next;
    after->next->prev = node;
    after->next = node;
    ++count_;
    return true;
}

void* ObjectList::find(const char* tag)
{
    if (!tag)
        return nullptr;
    for (Node* node = head_.next; node; node = node->next) {
        if (node->tag && std::strcmp(node->tag, tag) == 0) {
            cursor_ = node;
            return node->item;
        }
    }
    return nullptr;
}

void* ObjectList::findItem(const void* item)
{
    for (Node* node = head_.next; node; node = node->next) {
        if (node->item == item) {
            cursor_ = node;
            return node->item;
        }
    }
    return nullptr;
}

void* ObjectList::first()
{
    cursor_ = head_.next;
    return cursor_ ? cursor_->item : nullptr;
}

void* ObjectList::next()
{
    if (!cursor_)
        return nullptr;
    cursor_ = cursor_->next;
    return cursor_ ? cursor_->item : nullptr;
}

void* ObjectList::prev()
{
    if (!cursor_)
        return nullptr;
    cursor_ = cursor_->prev;  // from the first node this is the head, whose item is none
    return cursor_ ? cursor_->item : nullptr;
}

void* ObjectList::current() const
{
    return cursor_ ? cursor_->item : nullptr;
}

const char* ObjectList::currentTag() const
{
    return cursor_ ? cursor_->tag : nullptr;
}

bool ObjectList::remove(void* item)
{
    Node* node = head_.next;
    while (node && node->item != item)
        node = node->next;
    if (!node)
        return false;
    if (cursor_ == node)
        cursor_ = node->next;
    node->prev->next = node->next;
    if (node->next)
        node->next->prev = node->prev;
    else
        last_ = node->prev;
    --count_;
    dispose(node);
    return true;
}
