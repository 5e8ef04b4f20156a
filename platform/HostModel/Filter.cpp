#include "HostModel/Filter.h"

#include "HostModel/Object.h"

namespace HostModel {

Filter::~Filter() = default;

FilterType::FilterType(ClassType type, int mode) : type_(type), mode_(mode) {}

bool FilterType::Accepts(const Object& object) const {
    return mode_ == 0 ? object.GetClassType() == type_ : object.IsA(type_);
}

std::unique_ptr<Filter> FilterType::Clone() const { return std::make_unique<FilterType>(*this); }

FilterVisible::FilterVisible(const Filter& inner, bool wantHidden, int mode)
    : inner_(inner.Clone()), wantHidden_(wantHidden), mode_(mode) {}

bool FilterVisible::Accepts(const Object& object) const {
    if (!inner_->Accepts(object)) return false;
    bool visible = object.IsVisible();
    if (mode_ == 2) {
        for (const Object* o = object.GetParent(); visible && o; o = o->GetParent()) visible = o->IsVisible();
    }
    return visible != wantHidden_;
}

std::unique_ptr<Filter> FilterVisible::Clone() const {
    return std::make_unique<FilterVisible>(*inner_, wantHidden_, mode_);
}

}  // namespace HostModel
