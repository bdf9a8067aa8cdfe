#include "transfer/insert_settings.h"

#include <QFileInfo>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/zip_main.h"

namespace corvellan {

void LoadCfg(ZipMain& form) {
  if (!QFileInfo(App().CfgFile).isFile()) {
    MessageBox::critical(form.dialogParent(), QStringLiteral("Unable to Retrieve CFG File"));
    return;
  }
  // Reading the field settings comes with the insert settings window.
}

bool InsertFieldUpperCase(int /*index*/) { return false; }

}  // namespace corvellan
