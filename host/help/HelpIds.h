/* The help topics the suite's windows open by number. */
#define IDH_TUTORIAL_ACCOUNTANT 100
#define IDH_TUTORIAL_WEBMASTER 200
#define IDH_TUTORIAL 300
#define IDH_CONTENTS 400
