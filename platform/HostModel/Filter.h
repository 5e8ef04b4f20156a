// Predicates over document objects, combinable and copyable so iterators can keep their own.
#pragma once

#include "HostApi.h"
#include "HostModel/ClassType.h"

#include <memory>

namespace HostModel {

class Object;

class HOST_API Filter {
public:
    virtual ~Filter();
    virtual bool Accepts(const Object& object) const = 0;
    virtual std::unique_ptr<Filter> Clone() const = 0;
    /// A class every accepted object is an instance of, so that walks may skip subtrees that
    /// hold none; null when the filter may accept any object.
    virtual ClassType RequiredType() const { return nullptr; }
};

/// Accepts objects of a class. mode 1: the class or a subclass; mode 0: exactly the class.
class HOST_API FilterType : public Filter {
public:
    FilterType(ClassType type, int mode);
    bool Accepts(const Object& object) const override;
    std::unique_ptr<Filter> Clone() const override;
    ClassType RequiredType() const override { return type_; }

private:
    ClassType type_;
    int mode_;
};

/// Accepts what the inner filter accepts and is visible (or hidden, when wantHidden is set).
/// mode 1 tests the object's own flag; mode 2 also requires every ancestor to be visible.
class HOST_API FilterVisible : public Filter {
public:
    FilterVisible(const Filter& inner, bool wantHidden, int mode);
    bool Accepts(const Object& object) const override;
    std::unique_ptr<Filter> Clone() const override;
    ClassType RequiredType() const override { return inner_->RequiredType(); }

private:
    std::unique_ptr<Filter> inner_;
    bool wantHidden_;
    int mode_;
};

}  // namespace HostModel
