// A program file for installation tests where the real program of that name
// is not built: the installer only needs an executable file to register.
int main() { return 0; }
