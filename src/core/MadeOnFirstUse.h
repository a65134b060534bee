#pragma once

#include <functional>
#include <memory>
#include <utility>
#include <vector>

// An object its owner holds for the whole run but makes only when it is first asked for: a
// window that start-up does not show costs nothing before then. What the owner joins to it
// (`Wire`) is joined the moment it is made, so nothing connects to or reads the object before it
// exists, and every caller of `Get` gets the same object.
template<typename T> class MadeOnFirstUse
{
public:
    using Make = std::function<std::unique_ptr<T>()>;
    using Wiring = std::function<void(T&)>;

    explicit MadeOnFirstUse(Make make = [] { return std::make_unique<T>(); })
        : make(std::move(make))
    { }

    T& Get()
    {
        if (!object) {
            object = make();
            for (const Wiring& wire : wirings)
                wire(*object);
        }
        return *object;
    }

    // The object once made, else null: for steps that only concern a made one, such as hiding.
    T* IfMade() const { return object.get(); }

    // Runs `wire` on the object when it is made, or at once when it exists already.
    void Wire(Wiring wire)
    {
        if (object)
            wire(*object);
        wirings.push_back(std::move(wire));
    }

private:
    Make make;
    std::vector<Wiring> wirings;
    std::unique_ptr<T> object;
};
