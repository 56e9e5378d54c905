#pragma once

namespace quorvane {

class Pointer;
class Prompter;
class TextListModel;

// The commands that fill and empty the domain list, each under its own error trap.

// "Load Domains From Text File": the open-file dialog (several files may be chosen), then each file's names
// appended in the dialog's order, with the busy pointer meanwhile.
void loadDomainFiles(TextListModel& list, Prompter& prompter, Pointer& pointer);
// "Add Domain Name": the typed text as one entry (its words joined, unless it holds a comma).
void addTypedDomain(TextListModel& list, Prompter& prompter);
// "Load Sample/Example Domains": the four sample names.
void addSampleDomains(TextListModel& list, Prompter& prompter);
// "Clear List": empties the list, unless the busy pointer shows.
void clearDomainList(TextListModel& list, Prompter& prompter, const Pointer& pointer);

} // namespace quorvane
