// The View command of the main window.
#include "ui/main_window.h"

#include <cstring>

#include "convert/frame_placement.h"
#include "platform/files.h"
#include "ui/application.h"
#include "ui/converted_image.h"

// Opens the image of every selected entry that reads "Yes", one viewer after
// the other in list order. Only the first selectedCount selected entries are
// walked: the count of the last click in the list or Select All. An entry
// reading "No", or whose image has gone since the list was made, is passed
// over without a word.
void MainWindow::OnView() {
    int item = fileList.GetNextItem(-1, LVNI_SELECTED);
    for (int done = 0; done < selectedCount && item != -1; ++done) {
        const int next = fileList.GetNextItem(item, LVNI_SELECTED);
        char name[kNameBufferSize];
        char converted[8];
        fileList.GetItemText(item, 0, name, sizeof name);
        fileList.GetItemText(item, 1, converted, sizeof converted);
        char path[kNameBufferSize];
        if (std::strcmp(converted, "Yes") == 0 && ConvertedImagePath(name, path, sizeof path) &&
            platform::PathExists(path)) {
            viewPath = path;
            viewer.Show(viewPath);
        }
        item = next;
    }
}
