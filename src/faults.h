// Failures a test can inject where the system seldom fails, to see each one reported and no
// document lost. The program itself never injects one.
#ifndef CUEFOLD_FAULTS_H
#define CUEFOLD_FAULTS_H

enum class Fault {
    None,
    ReadLink, // a link cannot be read
    ReadExisting, // an existing output cannot be read
    CutCopy, // a copy into an existing file stops short
    Commit, // the atomic replace fails at the rename
};

// Holds until another replaces it.
void injectFault(Fault fault);

// Whether the step `fault` names is to fail now.
bool faultAt(Fault fault);

#endif
