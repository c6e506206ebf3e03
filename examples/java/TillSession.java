// A till session against a fiscal module, in Java 17 with JNA.
//
//   java -cp jna.jar:. TillSession [module-ip] [activation-code] [data-dir]
//
// Asks for the library's version, chooses the module by its address, checks
// it, sells, cancels that sale, reads the last fiscal session back and shows
// which device answered. Every result is printed split into its fields.

import com.sun.jna.Library;
import com.sun.jna.Native;
import com.sun.jna.Platform;
import com.sun.jna.Pointer;
import java.io.FileOutputStream;
import java.io.FileDescriptor;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Map;
import java.util.concurrent.Executors;
import java.util.concurrent.ExecutorService;

public final class TillSession {

    // The exports. JNA calls them with the platform's C convention (cdecl on
    // x64; a 32-bit stdcall build would need StdCallLibrary). Results are
    // String: JNA copies the text and never frees it, which is right for the
    // texts the library owns. The JSON text is a Pointer, to be freed.
    public interface TavikSat extends Library {
        String VersaoLib();
        int GeraNumeroSessao();
        int FiltraMFEIp(String ip);
        String ConsultarSAT(int numeroSessao);
        String ConsultarStatusOperacional(int numeroSessao, String codigoDeAtivacao);
        String EnviarDadosVenda(int numeroSessao, String codigoDeAtivacao, String dadosVenda);
        String CancelarUltimaVenda(int numeroSessao, String codigoDeAtivacao, String chave, String dadosCancelamento);
        String ConsultarUltimaSessaoFiscal(int numeroSessao, String codigoDeAtivacao);
        Pointer GetDeviceInfoAsJson();
    }

    // The C runtime that allocated the JSON texts: the DLL's msvcrt.dll on
    // Windows, the C library on Linux.
    public interface CRuntime extends Library {
        void free(Pointer text);
    }

    // UTF-8 both ways, whatever the platform's default encoding.
    static final Map<String, Object> UTF8 = Map.of(Library.OPTION_STRING_ENCODING, "UTF-8");
    static final TavikSat SAT = Native.load("taviksat", TavikSat.class, UTF8);
    static final CRuntime C = Native.load(Platform.isWindows() ? "msvcrt" : "c", CRuntime.class);
    static final PrintStream OUT = new PrintStream(new FileOutputStream(FileDescriptor.out), true, StandardCharsets.UTF_8);

    // "|" separates the fields of a request: such an argument is refused.
    static String argument(String text) {
        if (text.contains("|")) throw new IllegalArgumentException("an argument holds '|'");
        return text;
    }

    static String[] show(String call, int session, String answer) {
        String[] fields = answer.split("\\|", -1);  // -1 keeps the empty fields at the end
        OUT.printf("== %s (session %d)%n", call, session);
        for (int i = 0; i < fields.length; i++) {
            String field = fields[i];
            if (field.length() > 60) field = field.substring(0, 40) + "... (" + field.length() + " characters)";
            OUT.printf("  [%d] %s%n", i + 1, field);
        }
        return fields;
    }

    static int run(String ip, String code, Path data) throws Exception {
        OUT.println("VersaoLib: " + SAT.VersaoLib());
        int found = SAT.FiltraMFEIp(argument(ip));
        OUT.printf("FiltraMFEIp(%s): %d%n", ip, found);
        if (found != 0) return 1;

        int session = SAT.GeraNumeroSessao();
        show("ConsultarSAT", session, SAT.ConsultarSAT(session));

        session = SAT.GeraNumeroSessao();
        show("ConsultarStatusOperacional", session, SAT.ConsultarStatusOperacional(session, argument(code)));

        String saleXml = Files.readString(data.resolve("venda.xml"), StandardCharsets.UTF_8);
        session = SAT.GeraNumeroSessao();
        String[] sale = show("EnviarDadosVenda", session, SAT.EnviarDadosVenda(session, code, argument(saleXml)));
        if (!sale[1].equals("06000")) return 1;
        String key = sale[8];
        OUT.println("sale key: " + key);
        OUT.println("sale total: " + sale[9]);

        String cancellationXml = Files.readString(data.resolve("cancelamento.xml"), StandardCharsets.UTF_8)
                .replace("CHAVE_DA_VENDA", key);
        session = SAT.GeraNumeroSessao();
        String[] cancel = show("CancelarUltimaVenda", session,
                SAT.CancelarUltimaVenda(session, code, argument(key), argument(cancellationXml)));
        OUT.println("cancellation code: " + cancel[1]);

        session = SAT.GeraNumeroSessao();
        show("ConsultarUltimaSessaoFiscal", session, SAT.ConsultarUltimaSessaoFiscal(session, code));

        Pointer json = SAT.GetDeviceInfoAsJson();
        if (json != null) {
            OUT.println("GetDeviceInfoAsJson: " + json.getString(0, "UTF-8"));
            C.free(json);
        } else {
            OUT.println("GetDeviceInfoAsJson: (none)");
        }
        return cancel[1].equals("07000") ? 0 : 1;
    }

    public static void main(String[] args) throws Exception {
        String ip = args.length > 0 ? args[0] : "127.0.0.1";
        String code = args.length > 1 ? args[1] : "12345678";
        Path data = Path.of(args.length > 2 ? args[2] : "../data");
        // The calls block (minutes, when no module answers): a point-of-sale
        // program keeps them off its UI thread, as here on a worker thread.
        ExecutorService worker = Executors.newSingleThreadExecutor();
        try {
            System.exit(worker.submit(() -> run(ip, code, data)).get());
        } finally {
            worker.shutdown();
        }
    }
}
