// A program as the compiler builds it by default, with its own start-up code
// and C runtime DLL: what setup.exe must not be. The test of the image checks
// expects them to fail on it.
int main()
{
    return 0;
}
