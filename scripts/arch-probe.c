/*
 * Tells whether this machine's kernel runs 32-bit x86 code, which Wine needs
 * for 32-bit Windows programs. A child process far-returns into the 32-bit user
 * code segment and ends itself there through the 32-bit system call gate. Where
 * the kernel has no 32-bit support, the far return or the call faults.
 * Exit status 0: 32-bit code runs; 1: it does not (the reason on stdout).
 */
#define _GNU_SOURCE
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

enum { ChildSucceeded = 42 };

static void Run32BitCode(void)
{
    /* mov eax, 252 (exit_group); mov ebx, 42; int 0x80 */
    static const unsigned char code[] = {0xB8, 0xFC, 0x00, 0x00, 0x00, 0xBB, ChildSucceeded,
                                         0x00, 0x00, 0x00, 0xCD, 0x80};
    /* 32-bit code must lie below 4 GB. */
    unsigned char* low = mmap((void*)0x10000000, 4096, PROT_READ | PROT_WRITE | PROT_EXEC,
                              MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
    if (low == MAP_FAILED || (unsigned long)low > 0xFFFFF000ul)
        _exit(3);
    memcpy(low, code, sizeof code);
    __asm__ volatile("pushq $0x23\n\t"
                     "pushq %0\n\t"
                     "lretq\n\t"
                     :
                     : "r"((unsigned long)low)
                     : "memory");
    _exit(4);
}

int main(void)
{
    const pid_t child = fork();
    if (child < 0) {
        puts("the probe could not start a process");
        return 1;
    }
    if (child == 0)
        Run32BitCode();
    int status = 0;
    if (waitpid(child, &status, 0) != child) {
        puts("the probe lost its process");
        return 1;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == ChildSucceeded)
        return 0;
    if (WIFSIGNALED(status))
        printf("this kernel runs no 32-bit code: a switch to 32-bit mode ended in signal %d (%s)\n",
               WTERMSIG(status), strsignal(WTERMSIG(status)));
    else
        printf("this kernel runs no 32-bit code: the 32-bit probe ended with status %d\n", WEXITSTATUS(status));
    return 1;
}
