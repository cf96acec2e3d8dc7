/* A host written in C that uses the library only through QmtSR_c.h: it checks the accessors and
   the argument checks, then enrols at the dev server, makes two login OTPs and has the server's
   login check accept the second one, over the library's own HTTP request.
   Usage: c_host SERVER_URL, run in the host's BIN folder (..\GEN, ..\log, ..\..\..\log exist). */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "NRDEnrollmentCPPWrapper/QmtSR_c.h"

static int failures = 0;

#define EXPECT(condition)                                                  \
  do {                                                                     \
    if (!(condition)) {                                                    \
      fprintf(stderr, "c_host.c:%d: expected %s\n", __LINE__, #condition); \
      ++failures;                                                          \
    }                                                                      \
  } while (0)

/* Every text field through its setter and its getter: the value comes back from the same field. */
typedef int (*SetText)(QmtSR_Object*, const char*);
typedef int (*GetText)(QmtSR_Object*, char**);
static const struct {
  SetText set;
  GetText get;
} kTextFields[] = {
    {QmtSR_SetUniquekey, QmtSR_GetUniquekey},
    {QmtSR_SetsentrelSeedFilePath, QmtSR_GetsentrelSeedFilePath},
    {QmtSR_SetEnrollFilePath, QmtSR_GetEnrollFilePath},
    {QmtSR_SetToolvex_Software_Version, QmtSR_GetToolvex_Software_Version},
    {QmtSR_Setsentrel_server_url, QmtSR_Getsentrel_server_url},
    {QmtSR_Setsentrel_server_macid, QmtSR_Getsentrel_server_macid},
    {QmtSR_SetEnrollmentName, QmtSR_GetEnrollmentName},
    {QmtSR_Setdevice_serial, QmtSR_Getdevice_serial},
    {QmtSR_SetRRDICode, QmtSR_GetRRDICode},
    {QmtSR_SetsentrelCodeandOTPurl, QmtSR_GetsentrelCodeandOTPurl},
    {QmtSR_SetsentrelCheckEnrollmenturl, QmtSR_GetsentrelCheckEnrollmenturl},
    {QmtSR_SetBiosSerialNumber, QmtSR_GetBiosSerialNumber},
    {QmtSR_Setproxy_user, QmtSR_Getproxy_user},
    {QmtSR_Setproxy_password, QmtSR_Getproxy_password},
    {QmtSR_Sethttp_address, QmtSR_Gethttp_address},
    {QmtSR_Sethttp_proxy_override, QmtSR_Gethttp_proxy_override},
};
#define COUNT(array) (sizeof(array) / sizeof((array)[0]))

/* 1 when the getter hands out `expected`; the text goes back to the library. */
static int Holds(QmtSR_Object* object, GetText get, const char* expected) {
  char* value = NULL;
  int same = get(object, &value) == QMTSR_OK && value != NULL && strcmp(value, expected) == 0;
  QmtSR_FreeText(value);
  return same;
}

static void CheckAccessors(void) {
  QmtSR_Object *object = NULL, *copy = NULL;
  char value[32];
  size_t i;
  int number = 0;
  long port = 0;
  EXPECT(QmtSR_Create(&object) == QMTSR_OK && object != NULL);
  for (i = 0; i < COUNT(kTextFields); ++i) EXPECT(Holds(object, kTextFields[i].get, ""));
  for (i = 0; i < COUNT(kTextFields); ++i) {
    snprintf(value, sizeof value, "field-%u", (unsigned)i);
    EXPECT(kTextFields[i].set(object, value) == QMTSR_OK);
  }
  EXPECT(QmtSR_Setsentrel_server_timeout(object, 41) == QMTSR_OK);
  EXPECT(QmtSR_SetOTP_service_index(object, 42) == QMTSR_OK);
  EXPECT(QmtSR_SetEnrollmentStatus(object, -1) == QMTSR_OK);
  EXPECT(QmtSR_Sethttp_port(object, 3128L) == QMTSR_OK);
  EXPECT(QmtSR_SetgetPDVurl(object, "pdv") == QMTSR_OK);
  EXPECT(QmtSR_SetRLXEnrollIniturl(object, "init") == QMTSR_OK);
  EXPECT(QmtSR_SetRLXEnrollActivationurl(object, "activation") == QMTSR_OK);

  /* A copy holds the same values, and an assignment brings them back after a change. */
  EXPECT(QmtSR_Copy(object, &copy) == QMTSR_OK);
  EXPECT(QmtSR_SetUniquekey(object, "changed") == QMTSR_OK);
  EXPECT(Holds(copy, QmtSR_GetUniquekey, "field-0"));
  EXPECT(QmtSR_Assign(object, copy) == QMTSR_OK);
  for (i = 0; i < COUNT(kTextFields); ++i) {
    snprintf(value, sizeof value, "field-%u", (unsigned)i);
    EXPECT(Holds(object, kTextFields[i].get, value));
  }
  EXPECT(QmtSR_Getsentrel_server_timeout(object, &number) == QMTSR_OK && number == 41);
  EXPECT(QmtSR_GetOTP_service_index(object, &number) == QMTSR_OK && number == 42);
  EXPECT(QmtSR_GetEnrollmentStatus(object, &number) == QMTSR_OK && number == -1);
  EXPECT(QmtSR_Gethttp_port(object, &port) == QMTSR_OK && port == 3128L);
  EXPECT(Holds(object, QmtSR_GetToolvexPinPath, "..\\GEN\\ToolvexPin.txt"));

  /* A null object, text or out-parameter runs nothing. */
  EXPECT(QmtSR_Create(NULL) == QMTSR_INVALID_ARGUMENT);
  EXPECT(QmtSR_SetUniquekey(NULL, "x") == QMTSR_INVALID_ARGUMENT);
  EXPECT(QmtSR_SetUniquekey(object, NULL) == QMTSR_INVALID_ARGUMENT);
  EXPECT(QmtSR_GetUniquekey(object, NULL) == QMTSR_INVALID_ARGUMENT);
  EXPECT(QmtSR_Gethttp_port(object, NULL) == QMTSR_INVALID_ARGUMENT);
  EXPECT(QmtSR_GetOTPforAuthentication(object, &number, NULL) == QMTSR_INVALID_ARGUMENT);
  EXPECT(QmtSR_QmtSRInitialize(object, "k", "s", "e", "v", "u", "m", "n", 1, 2, "d", NULL, 0) ==
         QMTSR_INVALID_ARGUMENT);
  EXPECT(Holds(object, QmtSR_GetUniquekey, "field-0"));
  QmtSR_Destroy(NULL);
  QmtSR_FreeText(NULL);
  QmtSR_Destroy(copy);
  QmtSR_Destroy(object);
}

static QmtSR_Object* Configured(const char* url, int enrollmentStatus) {
  char massUrl[256], checkUrl[256];
  QmtSR_Object* object = NULL;
  snprintf(massUrl, sizeof massUrl, "%s/api/enrollmentinit", url);
  snprintf(checkUrl, sizeof checkUrl, "%s/api/checkenrollment", url);
  EXPECT(QmtSR_Create(&object) == QMTSR_OK);
  EXPECT(QmtSR_QmtSRInitialize(object, "C-KEY-01", "C:\\APP\\qmt\\GEN\\seed.data",
                               "C:\\APP\\qmt\\GEN\\Enrollment_Status.txt", "9.1", url, "mac-c",
                               "c-workstation", 10000, 0, "C-SERIAL-01", "RRDI-C",
                               enrollmentStatus) == QMTSR_OK);
  EXPECT(QmtSR_InitializeEnrollmenturls(object, massUrl, checkUrl, "", "", "") == QMTSR_OK);
  EXPECT(QmtSR_InitQMTParameters(object, "BIOS-C") == QMTSR_OK);
  EXPECT(QmtSR_InitializeProxyParameters(object, "", "", "", 0L, "") == QMTSR_OK);
  return object;
}

/* A login OTP from a new object, as a later start of the host makes it; "" when none came. */
static void LoginOtp(const char* url, char otp[16]) {
  QmtSR_Object* object = Configured(url, 1);
  int result = -1;
  char* made = NULL;
  EXPECT(QmtSR_GetOTPforAuthentication(object, &result, &made) == QMTSR_OK);
  EXPECT(result == 0 && made != NULL && strlen(made) == 8);
  snprintf(otp, 16, "%s", made != NULL ? made : "");
  QmtSR_FreeText(made);
  QmtSR_Destroy(object);
}

/* The login OTP of the enrolment, from the status file's "OTP Login," line. */
static void EnrolledLogin(char login[64]) {
  char line[128];
  FILE* status = fopen("../GEN/Enrollment_Status.txt", "r");
  login[0] = '\0';
  while (status != NULL && fgets(line, sizeof line, status) != NULL) {
    if (strncmp(line, "OTP Login,", 10) == 0 && sscanf(line + 10, "%63s", login) != 1) {
      login[0] = '\0';
    }
  }
  if (status != NULL) fclose(status);
}

/* The dev server's login check of `otp`, over the library's JSON PUT: 1 when it says "OK". */
static int LoginAccepted(QmtSR_Object* object, const char* url, const char* login,
                         const char* otp) {
  char loginUrl[256], body[256];
  char* reply = NULL;
  long status = 0;
  int accepted;
  snprintf(loginUrl, sizeof loginUrl, "%s/login", url);
  snprintf(body, sizeof body, "{\"device\":\"%s\",\"otp\":\"%s\"}", login, otp);
  EXPECT(QmtSR_MakeCURLRequest(object, loginUrl, body, &status, &reply) == QMTSR_OK);
  accepted = status == 200 && reply != NULL && strstr(reply, "\"status\":\"OK\"") != NULL;
  QmtSR_FreeText(reply);
  return accepted;
}

static void EnrolAndLogIn(const char* url) {
  QmtSR_Object* object = Configured(url, 0);
  char massUrl[256], login[64], otp1[16], otp2[16];
  char* reply = (char*)"untouched";
  int reached = 0, result = -1, status = -1;
  long code = -1;
  FILE* pin = fopen("../GEN/ToolvexPin.txt", "w"); /* the host writes the PIN file */
  EXPECT(pin != NULL && fputs("1357", pin) >= 0 && fclose(pin) == 0);

  snprintf(massUrl, sizeof massUrl, "%s/api/enrollmentinit", url);
  EXPECT(QmtSR_EnrollmentProcess(object, massUrl,
                                 "{\"rrdi_code\":\"RRDI-C\",\"secret_code\":\"c\"}", "sentrel",
                                 "sentrel", &reached, &result) == QMTSR_OK);
  EXPECT(result == 1000 && reached == 1);
  EXPECT(QmtSR_GetEnrollmentStatus(object, &status) == QMTSR_OK && status == 1);
  EnrolledLogin(login);
  EXPECT(login[0] != '\0');

  LoginOtp(url, otp1);
  LoginOtp(url, otp2);
  EXPECT(otp1[0] != '\0' && strcmp(otp1, otp2) != 0);
  printf("enrolled as %s; login OTPs %s %s\n", login, otp1, otp2);
  EXPECT(LoginAccepted(object, url, login, otp2));
  EXPECT(!LoginAccepted(object, url, login, otp2)); /* an OTP is good once */

  /* No reply: status 0, and the reply is left untouched (no text handed out). */
  EXPECT(QmtSR_MakeCURLRequestWithCredentials(object, "http://127.0.0.1:1/", "{}", "u", "p", &code,
                                              &reply) == QMTSR_OK);
  EXPECT(code == 0 && reply == NULL);
  QmtSR_Destroy(object);
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: c_host SERVER_URL\n");
    return 2;
  }
  CheckAccessors();
  EnrolAndLogIn(argv[1]);
  if (failures != 0) {
    fprintf(stderr, "c_host: %d failed\n", failures);
    return 1;
  }
  printf("c_host ok\n");
  return 0;
}
