// The options window's menu opens the association restorer and the previewer controller
// through an opener that this module installs.
#pragma once

void InstallToolWindowOpener();
