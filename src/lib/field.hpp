#pragma once

// One field of a record or of an element view, by the field's name: a record holds it as a
// member, a view returns it from a member function of the same name. Rules that are written
// once for both representations read their fields through this.
#define QEL_FIELD(object, field)                            \
  ([](const auto& qel_field_object) -> decltype(auto) {     \
    if constexpr (requires { qel_field_object.field(); }) { \
      return qel_field_object.field();                      \
    } else {                                                \
      return (qel_field_object.field);                      \
    }                                                       \
  }(object))
