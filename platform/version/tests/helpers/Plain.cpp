// A program that does nothing; built with and without the version record.
int main() { return 0; }
