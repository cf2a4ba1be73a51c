#pragma once
// USB transport of the Rigol and Siglent instruments, over the kernel's USB Test and
// Measurement Class device files, and the three entry points GetDeviceNum, WriteUSB and
// ReadUSB that the Rigol command object calls.
//
// Folder: $ONDIVAR_USBTMC_DIR when set, /dev otherwise. The instruments are the entries
// of that folder named usbtmcN (N a number), in the order of N. The USB transport is
// available when the folder holds at least one of them.
//
// A device file is one of two kinds:
// - the kernel's /dev/usbtmcN: one write() sends one whole message, one read() asks the
//   instrument for its reply and returns it; the kernel's time-out, set by ioctl, bounds
//   a read (poll() does not report replies on these files).
// - a stand-in for tests and demonstrations: a pseudo-terminal that carries the USBTMC
//   bulk transfers themselves. This file frames them as the kernel would: a 12-byte
//   header (message type, tag, inverted tag, transfer size, end-of-message bit), the
//   data, padding to a multiple of 4. Type 1 carries a message to the instrument, type 2
//   asks for (at most) so many bytes of its reply and comes back with them. poll() bounds
//   a read. See docs/rigol-visa.md.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

// One USBTMC device file and what sysfs tells of the instrument behind it.
struct TInfoUSBTMC {
    QString chemin;             // device file
    int numero = 0;             // N of usbtmcN
    quint16 idVendeur = 0;
    quint16 idProduit = 0;
    QString serie;              // serial number; the device name when unknown
    bool identifie = false;     // vendor and product ids could be read
    // VISA resource name: "USB0::0x1AB1::0x04CE::DS1ZA000000001::INSTR".
    QString nomVisa() const;
};

// USB vendor ids of the two makers.
constexpr quint16 VendeurRigol = 0x1AB1;
constexpr quint16 VendeurSiglent = 0xF4EC;

// The folder searched for usbtmcN files.
QString DossierUSBTMC();
// The USBTMC instruments present, by number. Vendor, product and serial come from
// /sys/class/usbmisc/usbtmcN/device/.. for the files of /dev, and from the folder
// usbtmcN.sysfs beside a device file elsewhere (stand-ins); they stay unknown otherwise.
QList<TInfoUSBTMC> ListeUSBTMC();

// One open USBTMC device file.
class TUsbtmc {
public:
    TUsbtmc() = default;
    ~TUsbtmc();
    TUsbtmc(const TUsbtmc &) = delete;
    TUsbtmc &operator=(const TUsbtmc &) = delete;

    bool ouvre(const QString &chemin);
    void ferme();
    bool estOuvert() const { return fd_ >= 0; }
    // True for a pseudo-terminal stand-in, false for a kernel device file.
    bool estSubstitut() const { return substitut_; }

    // Sends one whole message (type 1, end of message set) within delaiMs.
    bool ecrit(const QByteArray &message, int delaiMs);
    // Reads one reply of at most capacite bytes into tampon within delaiMs. Returns the
    // number of bytes, 0 when nothing came in time, -1 when the link failed (device gone,
    // transfer out of protocol). *fin tells whether the instrument ended its message.
    // Never writes more than capacite bytes.
    int lit(char *tampon, int capacite, int delaiMs, bool *fin = nullptr);
    // Device clear: the instrument drops its pending output, and so does this side.
    void efface();
    // True once the instrument has gone (device unplugged, the stand-in's other side
    // closed): the file is then closed. Cleared by the next ouvre().
    bool perdu() const { return perdu_; }
    // errno of the last ouvre() that failed (EACCES: the user may not open the file).
    int erreurOuverture() const { return erreurOuverture_; }

private:
    bool ecritMessage(const QByteArray &message, int delaiMs);
    int litReponse(char *tampon, int capacite, int delaiMs, bool *fin);
    quint8 prochainTag();
    bool ecritTout(const char *d, qsizetype n, qint64 echeance);
    // Reads exactly n bytes before echeance: n, 0 on time-out, -1 on failure.
    int litExact(char *d, int n, qint64 echeance);
    void vide();

    int fd_ = -1;
    bool substitut_ = false;
    bool perdu_ = false;
    int erreurOuverture_ = 0;
    quint8 tag_ = 0;
    int delaiNoyau_ = -1;
};

// ---- Entry points of the USB transport -------------------------------------------------
// The instruments they reach are the Rigol ones among ListeUSBTMC() (vendor 0x1AB1, or
// unknown vendor), as the maker's library only saw its own instruments; device index 0 is
// the first. All return non-zero on success.

// True when the folder holds at least one USBTMC device file.
bool RigolUSBDisponible();
// Lists the instruments again and gives their number.
int GetDeviceNum();
// type 1: a command message of length bytes from buffer; type 2: a request for the
// instrument's reply (the kernel, or the stand-in framing of ReadUSB, sends it with the
// read). sequence is the caller's transfer number; the tags on the wire are derived from
// it for type 1 messages.
int WriteUSB(int device, int type, int sequence, int length, const char *buffer);
// Reads one reply chunk of at most capacite bytes into buffer; *length receives the
// count. *fin (optional) tells whether the instrument ended its message.
int ReadUSB(int device, int *length, char *buffer, int capacite, bool *fin = nullptr);
// Closes the device files (they are opened on first use).
void FermeUSB();
// True when the device of that index went away during its last transfer.
bool USBPerdu(int device);

// The French message for a USBTMC device file this user may not open (permission), naming
// the group and the command that give access; empty when it opens or fails otherwise.
QString MessageAccesUSBTMC(const QString &chemin);
// The message of the first instrument present that may not be opened; empty when none.
QString AccesRefuseUSBTMC();
// Time-out of every USB read and write, 2000 ms unless changed.
int DelaiUSB();
void setDelaiUSB(int ms);
