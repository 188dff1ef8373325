#pragma once
// One COM interface pointer, released once when it goes out of scope.
template <typename Interface>
class ComReference {
public:
    ComReference() = default;
    ~ComReference()
    {
        if (m_pointer != nullptr) m_pointer->Release();
    }
    ComReference(const ComReference&) = delete;
    ComReference& operator=(const ComReference&) = delete;

    Interface* Get() const { return m_pointer; }
    Interface* operator->() const { return m_pointer; }
    // For the functions that hand an interface out through a pointer of their own type.
    Interface** ReceiveTyped() { return &m_pointer; }
    void** Receive() { return reinterpret_cast<void**>(&m_pointer); }

private:
    Interface* m_pointer = nullptr;
};
