#include "App/AppContext.h"

CAppContext& CAppContext::Instance() {
  static CAppContext context;
  return context;
}
