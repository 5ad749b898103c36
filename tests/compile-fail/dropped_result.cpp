// Dropping a Result does not compile (with -Werror); using it does.
#include <qel_package/qel_package.hpp>

int check(const qel_package::Application& application) {
#ifdef BREAK
  application.validate();
  return 0;
#else
  return application.validate() ? 0 : 1;
#endif
}
